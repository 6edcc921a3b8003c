// The signer lock: a process-wide recursive lock that operations only try to
// take. A second thread is refused, not queued; the thread that holds the lock
// may take it again (for example from a dialog's message loop).
#pragma once

#include <mutex>

class SignerLock {
 public:
  bool TryLock() { return mutex_.try_lock(); }
  void Unlock() { mutex_.unlock(); }

 private:
  std::recursive_mutex mutex_;
};

// Keeps a lock taken by a successful TryLock until it goes out of scope. A
// hold without a lock (velixcom, which takes none) releases nothing.
class SignerLockHold {
 public:
  SignerLockHold() = default;
  explicit SignerLockHold(SignerLock* locked) : lock_(locked) {}
  SignerLockHold(SignerLockHold&& other) noexcept : lock_(other.lock_) { other.lock_ = nullptr; }
  SignerLockHold& operator=(SignerLockHold&& other) noexcept {
    if (this != &other) {
      Release();
      lock_ = other.lock_;
      other.lock_ = nullptr;
    }
    return *this;
  }
  SignerLockHold(const SignerLockHold&) = delete;
  SignerLockHold& operator=(const SignerLockHold&) = delete;
  ~SignerLockHold() { Release(); }

  // Releases the lock before the hold ends (some paths must release before a message box).
  void Release() {
    if (lock_ != nullptr) lock_->Unlock();
    lock_ = nullptr;
  }

 private:
  SignerLock* lock_ = nullptr;
};
