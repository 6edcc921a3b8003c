// Signing a 34-byte MD5 DigestInfo with a 2048-bit key: ENGINE_BUILTIN and
// ENGINE_OPENSSL against OpenSSL's own RSA_private_encrypt, measured in one
// run and reported as ratios. The goal is the builtin engine within 1.25
// times OpenSSL's own time. Times are processor time, so that other load
// on the machine does not blur the comparison.
#include <openssl/rsa.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

#include "core/core.h"
#include "core/engine.h"
#include "tests/support/test_keys.h"

namespace {

constexpr int kRounds = 21;
constexpr int kSignaturesPerRound = 100;

struct Contender {
  const char* name;
  std::function<bool()> sign;
  std::vector<double> microseconds;  // per signature, one entry per round
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main() {
  core_init();
  const TestKey& key = test_rsa_key(2048);
  KeyHandle builtin{}, openssl{};
  builtin.engine_id = ENGINE_BUILTIN;
  builtin.kind = KEY_KIND_SECRET;
  openssl.engine_id = ENGINE_OPENSSL;
  openssl.kind = KEY_KIND_SECRET;
  if (g_engine_table[ENGINE_BUILTIN].open_secret_key(&key.record, &builtin) != 0 ||
      g_engine_table[ENGINE_OPENSSL].open_secret_key(&key.record, &openssl) != 0) {
    std::fprintf(stderr, "the engines could not open the key\n");
    return 1;
  }

  uint8_t digest_info[34] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d,
                             0x02, 0x05, 0x05, 0x00, 0x04, 0x10, 1,    2,    3,    4,    5,    6,
                             7,    8,    9,    10,   11,   12,   13,   14,   15,   16};
  uint8_t out[256];
  RSA* rsa = key.rsa.get();
  Contender contenders[] = {
      {"OpenSSL RSA_private_encrypt",
       [&] { return RSA_private_encrypt(34, digest_info, out, rsa, RSA_PKCS1_PADDING) == 256; }, {}},
      {"ENGINE_BUILTIN sign_digest",
       [&] { return g_engine_table[ENGINE_BUILTIN].sign_digest(digest_info, 34, out, 256, &builtin) == 0; }, {}},
      {"ENGINE_OPENSSL sign_digest",
       [&] { return g_engine_table[ENGINE_OPENSSL].sign_digest(digest_info, 34, out, 256, &openssl) == 0; }, {}},
  };

  // Rounds alternate between the contenders so that all see the same machine load.
  for (Contender& c : contenders)
    for (int i = 0; i < 20; ++i) c.sign();  // warm-up
  for (int round = 0; round < kRounds; ++round) {
    for (Contender& c : contenders) {
      const std::clock_t start = std::clock();
      for (int i = 0; i < kSignaturesPerRound; ++i) {
        if (!c.sign()) {
          std::fprintf(stderr, "%s failed\n", c.name);
          return 1;
        }
        digest_info[33] ^= static_cast<uint8_t>(i);
      }
      const double elapsed_us = 1e6 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
      c.microseconds.push_back(elapsed_us / kSignaturesPerRound);
    }
  }

  const double reference = median(contenders[0].microseconds);
  std::printf("RSA-2048 signature of a 34-byte DigestInfo, CPU time, median of %d rounds of %d\n", kRounds,
              kSignaturesPerRound);
  for (const Contender& c : contenders) {
    const double us = median(c.microseconds);
    std::printf("  %-30s %8.1f us   %.2fx OpenSSL's own\n", c.name, us, us / reference);
  }
  const double builtin_ratio = median(contenders[1].microseconds) / reference;
  std::printf("builtin goal (<= 1.25x): %s\n", builtin_ratio <= 1.25 ? "met" : "missed");

  core_close_key(&builtin);
  core_close_key(&openssl);
  core_done();
  return 0;
}
