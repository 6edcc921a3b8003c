#include "signer/signer_clock.h"

#include <chrono>

namespace {

int64_t SystemNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

SignerClock g_clock = nullptr;

}  // namespace

int64_t SignerNow() { return g_clock != nullptr ? g_clock() : SystemNow(); }

void SetSignerClock(SignerClock clock) { g_clock = clock; }
