// Holds the signer lock on a thread of its own while it lives, as a second
// caller would, so that tests can see operations refused or let through.
#pragma once

#include <atomic>
#include <thread>

#include "signer/signer.h"

class LockHolder {
 public:
  LockHolder() {
    thread_ = std::thread([this] {
      CSigner signer;
      auto hold = signer.EnterOperation();
      held_ = hold.has_value();
      entered_ = true;
      while (!release_) std::this_thread::yield();
    });
    while (!entered_) std::this_thread::yield();
  }
  ~LockHolder() {
    release_ = true;
    thread_.join();
  }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;
  bool held() const { return held_; }

 private:
  std::atomic<bool> entered_{false}, release_{false}, held_{false};
  std::thread thread_;
};
