// Opening key files for the tool's commands.
#pragma once

#include <string>

#include "core/core.h"
#include "tools/velix/options.h"

// A secret key opened from a key file (plain or anchored), closed on scope exit.
class OpenedKey {
 public:
  OpenedKey(const std::string& path, const GlobalOptions& options);
  ~OpenedKey();
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  KeyHandle* handle() { return &key_; }

 private:
  KeyHandle key_{};
};

// The public key card ("NS" document) of an open secret key, certified by it.
std::string public_card_of(KeyHandle* secret);

// The exit code and message of a core error code.
[[noreturn]] void fail_with_core_code(int code, const std::string& what);
