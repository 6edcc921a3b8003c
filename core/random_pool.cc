#include "core/random_pool.h"

#include <cstring>

#include "core/crypto.h"

namespace {

// state += addend as 128-bit big-endian numbers; the carry out of the first byte is lost.
void add_to_state(uint8_t state[16], const uint8_t addend[16]) {
  unsigned carry = 0;
  for (int i = 15; i >= 0; --i) {
    const unsigned sum = state[i] + addend[i] + carry;
    state[i] = static_cast<uint8_t>(sum);
    carry = sum >> 8;
  }
}

void increment_state(uint8_t state[16]) {
  for (int i = 15; i >= 0; --i)
    if (++state[i] != 0) break;
}

}  // namespace

void random_init(RandomPool* pool) {
  pool->bytes_needed = kRandomSeedBytesNeeded;
  std::memset(pool->state, 0, sizeof pool->state);
  pool->output_available = 0;
  std::memset(pool->output, 0, sizeof pool->output);
}

void random_update(RandomPool* pool, const uint8_t* seed, size_t length) {
  uint8_t digest[kMd5Size];
  md5(seed, length, digest);
  add_to_state(pool->state, digest);
  pool->bytes_needed = length >= pool->bytes_needed ? 0 : pool->bytes_needed - static_cast<uint32_t>(length);
  secure_wipe(digest, sizeof digest);
}

int random_generate(RandomPool* pool, uint8_t* out, size_t length) {
  if (pool->bytes_needed != 0) return RANDOM_ERR_NEEDS_SEED;
  if (length == 0) return 0;
  constexpr size_t kBlock = sizeof pool->output;
  while (length > pool->output_available) {
    const size_t available = pool->output_available;
    std::memcpy(out, pool->output + kBlock - available, available);
    out += available;
    length -= available;
    md5(pool->state, sizeof pool->state, pool->output);
    increment_state(pool->state);
    pool->output_available = kBlock;
  }
  std::memcpy(out, pool->output + kBlock - pool->output_available, length);
  pool->output_available -= static_cast<uint32_t>(length);
  return 0;
}
