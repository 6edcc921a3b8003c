#include "core/random_pool.h"

#include <gtest/gtest.h>
#include <openssl/md5.h>

#include <cstring>
#include <vector>

namespace {

using Block = std::vector<uint8_t>;

Block md5_of(const uint8_t* data, size_t length) {
  Block digest(MD5_DIGEST_LENGTH);
  MD5(data, length, digest.data());
  return digest;
}

void add_one(uint8_t state[16]) {
  for (int i = 15; i >= 0 && ++state[i] == 0; --i) {
  }
}

RandomPool seeded_pool(const uint8_t seed[16]) {
  RandomPool pool;
  random_init(&pool);
  for (int i = 0; i < 16; ++i) random_update(&pool, seed, 16);
  return pool;
}

TEST(RandomPool, RefusesOutputUntil256SeedBytesAreMixedIn) {
  const uint8_t seed[16] = {1, 2, 3};
  RandomPool pool;
  random_init(&pool);
  uint8_t out[4];
  EXPECT_EQ(random_generate(&pool, out, sizeof out), RANDOM_ERR_NEEDS_SEED);
  for (int i = 0; i < 15; ++i) random_update(&pool, seed, 16);
  EXPECT_EQ(pool.bytes_needed, 16u);
  EXPECT_EQ(random_generate(&pool, out, sizeof out), RANDOM_ERR_NEEDS_SEED);
  random_update(&pool, seed, 16);
  EXPECT_EQ(pool.bytes_needed, 0u);
  EXPECT_EQ(random_generate(&pool, out, sizeof out), 0);

  random_init(&pool);
  random_update(&pool, seed, 1000);  // more than needed: the count stops at 0
  EXPECT_EQ(pool.bytes_needed, 0u);
}

TEST(RandomPool, OutputIsTheDigestOfACountingState) {
  const uint8_t seed[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1};
  RandomPool pool = seeded_pool(seed);

  // The state is the sum of sixteen digests of the seed, modulo 2^128.
  uint8_t state[16] = {};
  const Block seed_digest = md5_of(seed, 16);
  for (int round = 0; round < 16; ++round) {
    unsigned carry = 0;
    for (int i = 15; i >= 0; --i) {
      carry += state[i] + seed_digest[i];
      state[i] = static_cast<uint8_t>(carry);
      carry >>= 8;
    }
  }
  ASSERT_EQ(std::memcmp(pool.state, state, 16), 0);

  Block expected = md5_of(state, 16);
  add_one(state);
  const Block second = md5_of(state, 16);
  expected.insert(expected.end(), second.begin(), second.end());
  add_one(state);
  const Block third = md5_of(state, 16);
  expected.insert(expected.end(), third.begin(), third.end());

  Block out(20);
  ASSERT_EQ(random_generate(&pool, out.data(), 20), 0);
  EXPECT_EQ(out, Block(expected.begin(), expected.begin() + 20));
  EXPECT_EQ(pool.output_available, 12u);

  // The rest of the second block first, then the third block.
  Block more(14);
  ASSERT_EQ(random_generate(&pool, more.data(), 14), 0);
  EXPECT_EQ(more, Block(expected.begin() + 20, expected.begin() + 34));
  EXPECT_EQ(pool.output_available, 14u);
  EXPECT_EQ(random_generate(&pool, more.data(), 0), 0);
  EXPECT_EQ(pool.output_available, 14u);
}

TEST(RandomPool, SeedDigestIsAddedWithTheTopCarryLost) {
  const uint8_t seed[] = "seed";
  RandomPool pool;
  random_init(&pool);
  std::memset(pool.state, 0xFF, sizeof pool.state);
  random_update(&pool, seed, 4);
  // (2^128 - 1) + D mod 2^128 = D - 1
  Block expected = md5_of(seed, 4);
  for (int i = 15; i >= 0 && expected[i]-- == 0; --i) {
  }
  EXPECT_EQ(Block(pool.state, pool.state + 16), expected);
  EXPECT_EQ(pool.bytes_needed, 252u);
}

}  // namespace
