// The builtin engine's random pool: seed bytes are mixed in with MD5, and
// output blocks are the MD5 digests of a 128-bit counter state.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int RANDOM_ERR_NEEDS_SEED = 1032;  // the pool still needs seed bytes
constexpr uint32_t kRandomSeedBytesNeeded = 256;

struct RandomPool {
  uint32_t bytes_needed;      // seed bytes still to be mixed in before output is allowed
  uint8_t state[16];          // a 128-bit big-endian number
  uint32_t output_available;  // unused bytes at the end of the output block
  uint8_t output[16];
};

void random_init(RandomPool* pool);
void random_update(RandomPool* pool, const uint8_t* seed, size_t length);
// 0 and length random bytes, or RANDOM_ERR_NEEDS_SEED.
int random_generate(RandomPool* pool, uint8_t* out, size_t length);
