#include "signer/crypto_initializer.h"

#include <cstring>

CCryptoInitializer& CCryptoInitializer::Instance() {
  // Made on first use and never destroyed: the engines stay registered until
  // the process ends. Tearing the core down at exit or at the unload of the
  // library that holds it (velixcom in a client process) would call
  // C_Finalize on token libraries that other code in the process still uses.
  static CCryptoInitializer* const instance = new CCryptoInitializer;
  return *instance;
}

std::atomic<bool> CCryptoInitializer::made_{false};

CCryptoInitializer::CCryptoInitializer() {
  EnsureStarted();
  made_ = true;
}

void CCryptoInitializer::CloseKeyOfProcess() {
  if (made_) Instance().CloseKey();
}

void CCryptoInitializer::EnsureStarted() {
  std::lock_guard<std::mutex> guard(mutex_);
  if (count_ != 0) return;
  ++count_;
  core_init();
}

void CCryptoInitializer::CloseKey() {
  if (key_open()) core_close_key(&key_);
  std::memset(&key_, 0, sizeof key_);
}
