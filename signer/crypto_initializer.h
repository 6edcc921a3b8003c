// The core session of the process: one core_init however many signer objects
// are made, and the one open key. The session lasts until the process ends:
// nothing closes it, not even the unload of the library that made it. The key
// does not: the programs that answer one request close it once the answer
// is out (CloseKeyOfProcess), velixcom when the re-ask interval ends or
// Reset is called. It also owns the signer lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "core/core.h"
#include "signer/signer_lock.h"

class CCryptoInitializer {
 public:
  // The process-wide instance; the first call creates it and starts the core.
  static CCryptoInitializer& Instance();

  virtual ~CCryptoInitializer() = default;
  CCryptoInitializer(const CCryptoInitializer&) = delete;
  CCryptoInitializer& operator=(const CCryptoInitializer&) = delete;

  // Starts the core unless it has been started (core_init runs once per process).
  void EnsureStarted();

  // The open key; empty (kind 0) while no key is open. It belongs to the
  // process: a key opened through one signer object serves all of them.
  KeyHandle& key() { return key_; }
  bool key_open() const { return key_.kind != KEY_KIND_EMPTY; }
  // Closes the open key, if any, and clears the handle.
  void CloseKey();
  // The same for the process's instance, without starting the core when no
  // signer was ever made.
  static void CloseKeyOfProcess();

  SignerLock& signer_lock() { return signer_lock_; }

 private:
  CCryptoInitializer();

  static std::atomic<bool> made_;

  int32_t count_ = 0;  // core starts made: 0 or 1
  std::mutex mutex_;   // guards count_
  KeyHandle key_{};
  SignerLock signer_lock_;
};
