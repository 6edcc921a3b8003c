#include "signer/crypto_initializer.h"

#include <cstring>

CCryptoInitializer& CCryptoInitializer::Instance() {
  // Built on first use; the core is started inside the constructor so that
  // whatever the engines create while starting is destroyed after this object,
  // which still needs the engines for its final close.
  static CCryptoInitializer instance;
  return instance;
}

CCryptoInitializer::CCryptoInitializer() { EnsureStarted(); }

CCryptoInitializer::~CCryptoInitializer() {
  std::lock_guard<std::mutex> guard(mutex_);
  CloseKey();
  core_done();
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
