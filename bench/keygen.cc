// Key generation at 1024 and 2048 bits: the builtin engine (our prime search),
// ENGINE_OPENSSL, and OpenSSL's own RSA_generate_key_ex, each the median of
// several runs, reported as times and ratios in one run.
//
//   bench_keygen [runs]     (default 15 runs per generator and size)
#include <openssl/bn.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "core/armor.h"
#include "core/core.h"

namespace {

// A valid key card for serial 1: "Version: 01\r\nUser ID: bench\r\nUser Key: 1" and its check.
std::string key_card() {
  std::string body = "Version: 01\r\nUser ID: bench\r\nUser Key: 1";
  const uint32_t crc = crc24(kCrc24Init, reinterpret_cast<const uint8_t*>(body.data()), body.size());
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  body += '=';
  for (int shift = 18; shift >= 0; shift -= 6) body += kAlphabet[crc >> shift & 63];
  return body;
}

// Median wall-clock and processor times of the runs, in milliseconds. On a
// shared machine the processor time is the steadier figure.
struct Timing {
  double wall_ms, cpu_ms;
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

Timing measure(int runs, const std::function<bool()>& generate) {
  std::vector<double> wall, cpu;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpu_start = std::clock();
    if (!generate()) {
      std::fprintf(stderr, "generation failed\n");
      std::exit(1);
    }
    cpu.push_back(1000.0 * static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC);
    wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  return {median(wall), median(cpu)};
}

bool engine_generate(int16_t engine, const std::string& card, int bits) {
  KeyHandle secret{}, pub{};
  const bool ok = core_generate_keys(engine, card.c_str(), -1, &secret, &pub, bits) == 0;
  core_close_key(&secret);
  core_close_key(&pub);
  return ok;
}

bool openssl_generate(int bits) {
  BIGNUM* e = BN_new();
  RSA* rsa = RSA_new();
  const bool ok = e && rsa && BN_set_word(e, 65537) && RSA_generate_key_ex(rsa, bits, e, nullptr) == 1;
  RSA_free(rsa);
  BN_free(e);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  core_init();
  const std::string card = key_card();
  std::printf("key generation, median of %d runs, ms (wall / processor)\n", runs);
  std::printf("%5s %17s %17s %17s %17s %17s\n", "bits", "builtin", "engine 1", "OpenSSL", "builtin/OpenSSL",
              "engine1/OpenSSL");
  for (int bits : {1024, 2048}) {
    const Timing builtin = measure(runs, [&] { return engine_generate(ENGINE_BUILTIN, card, bits); });
    const Timing engine = measure(runs, [&] { return engine_generate(ENGINE_OPENSSL, card, bits); });
    const Timing own = measure(runs, [&] { return openssl_generate(bits); });
    std::printf("%5d %8.1f /%7.1f %8.1f /%7.1f %8.1f /%7.1f %8.2f /%7.2f %8.2f /%7.2f\n", bits, builtin.wall_ms,
                builtin.cpu_ms, engine.wall_ms, engine.cpu_ms, own.wall_ms, own.cpu_ms, builtin.wall_ms / own.wall_ms,
                builtin.cpu_ms / own.cpu_ms, engine.wall_ms / own.wall_ms, engine.cpu_ms / own.cpu_ms);
  }
  core_done();
  return 0;
}
