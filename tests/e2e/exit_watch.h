// What a process leaves in its memory when it exits: the memory_at_exit tool
// attached to it counts given byte strings at that moment.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "core/core.h"

// A process of the sanitizer build maps terabytes of shadow memory, which a
// scan at its exit does not get through: what stays behind is checked in the
// plain build.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELIX_NO_EXIT_SCAN "AddressSanitizer's shadow memory cannot be scanned at exit"
#endif
#endif

class ExitWatch {
 public:
  // Attaches to the running process; attached() tells whether the tool is
  // tracing it (waited for, bounded).
  ExitWatch(pid_t pid, const std::vector<std::string>& needles);
  bool attached() const { return attached_; }
  // Once the process has ended: how often each needle (or its byte-reversed
  // form) was in its memory at its exit; empty when the watch failed.
  std::vector<int> hits(std::chrono::milliseconds timeout);

 private:
  std::unique_ptr<ChildProcess> tool_;
  bool attached_ = false;
};

// The environment change a watched program needs in the sanitizer build:
// LeakSanitizer stops the process's threads with ptrace at its exit, which
// fails while the watch traces it, so the leak check is left to other tests.
EnvChanges without_leak_check_at_exit();

// Windows of 24 bytes from the middle of an open builtin key's private
// exponent d and its primes p and q: what must not outlive the key.
std::vector<std::string> secret_number_windows(const KeyHandle& key);
