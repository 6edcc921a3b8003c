#include <gtest/gtest.h>

#include <openssl/bn.h>
#include <openssl/rsa.h>

#include <cstring>
#include <vector>

#include "core/keygen.h"

namespace {

RandomPool seeded_pool(uint8_t seed) {
  RandomPool pool;
  random_init(&pool);
  const uint8_t bytes[16] = {seed, 1, 2, 3};
  while (pool.bytes_needed > 0) random_update(&pool, bytes, sizeof bytes);
  return pool;
}

BIGNUM* bn(const uint8_t* field, size_t size) { return BN_bin2bn(field, static_cast<int>(size), nullptr); }

// The candidate search written out plainly: only 3, 5, 7 and 11 before the
// Fermat test, every candidate from the random start.
BigNum plain_search(const BigNum& low, const BigNum& high, int modulus_bits, RandomPool* pool) {
  const int words = ((modulus_bits + 31) / 32 + 1) / 2;
  std::vector<uint8_t> random(4 * words);
  EXPECT_EQ(random_generate(pool, random.data(), random.size()), 0);
  BigNum a = BigNum::from_bytes(random.data(), random.size()), span;
  BnContext ctx;
  bn::sub(span, high, low);
  span.add_word(1);
  bn::mod(a, a, span, ctx);
  bn::add(a, a, low);
  a.sub_word(a.mod_word(2));
  a.add_word(1);
  if (a.compare(low) < 0) a.add_word(2);
  if (a.compare(high) > 0) a.sub_word(2);
  while (!is_probable_prime(a, ctx)) a.add_word(2);
  return a;
}

BigNum power_of_two(int bits) {
  BigNum r;
  r.set_bit(bits);
  return r;
}

TEST(KeyGeneration, PrimeSearchFindsTheFirstProbablePrimeOfTheSequence) {
  for (int bits : {256, 512}) {
    BigNum low = power_of_two(bits - 1), high = power_of_two(bits);
    bn::add(low, low, power_of_two(bits - 2));
    high.sub_word(1);
    for (uint8_t seed = 0; seed < 4; ++seed) {
      RandomPool pool = seeded_pool(seed), same = seeded_pool(seed);
      BigNum prime;
      ASSERT_EQ(generate_prime(prime, low, high, 2, 2 * bits, &pool), 0);
      const BigNum expected = plain_search(low, high, 2 * bits, &same);
      EXPECT_EQ(prime.compare(expected), 0) << bits << " " << int(seed);
      EXPECT_TRUE(prime.is_odd());
      EXPECT_GE(prime.compare(low), 0);
      EXPECT_LE(prime.compare(high), 0);
      BnContext ctx;
      EXPECT_EQ(BN_check_prime(prime.get(), ctx.get(), nullptr), 1);
    }
  }
}

TEST(KeyGeneration, PrimeSearchStopsAtItsUpperBound) {
  // One candidate only, 1000003 x 1000033: composite, with no factor below the sieve bound.
  const BigNum composite(1000003ull * 1000033ull);
  RandomPool pool = seeded_pool(9);
  BigNum prime;
  EXPECT_EQ(generate_prime(prime, composite, composite, 2, 64, &pool), KEYGEN_ERR_NO_PRIME);
}

TEST(KeyGeneration, UnseededPoolIsRefused) {
  RandomPool pool;
  random_init(&pool);
  BigNum prime, low(1 << 20), high(1 << 21);
  EXPECT_EQ(generate_prime(prime, low, high, 2, 64, &pool), RANDOM_ERR_NEEDS_SEED);
  RsaPublicKey pub;
  RsaPrivateKey priv;
  EXPECT_EQ(rsa_generate_keys(512, &pool, &pub, &priv), RANDOM_ERR_NEEDS_SEED);
}

TEST(KeyGeneration, KeyPairIsConsistent) {
  for (int bits : {508, 512, 777, 1024}) {
    RandomPool pool = seeded_pool(static_cast<uint8_t>(bits));
    RsaPublicKey pub;
    RsaPrivateKey priv;
    ASSERT_EQ(rsa_generate_keys(bits, &pool, &pub, &priv), 0) << bits;
    EXPECT_EQ(pub.bits, static_cast<uint32_t>(bits));
    EXPECT_EQ(priv.bits, static_cast<uint32_t>(bits));
    EXPECT_EQ(0, std::memcmp(pub.modulus, priv.modulus, sizeof pub.modulus));

    // Checked with OpenSSL's own key check and arithmetic.
    BIGNUM *n = bn(priv.modulus, 256), *e = bn(priv.public_exponent, 256), *d = bn(priv.exponent, 256);
    BIGNUM *p = bn(priv.prime[0], 128), *q = bn(priv.prime[1], 128);
    BIGNUM *dp = bn(priv.prime_exponent[0], 128), *dq = bn(priv.prime_exponent[1], 128);
    BIGNUM* iqmp = bn(priv.coefficient, 128);
    EXPECT_EQ(BN_num_bits(n), bits);
    EXPECT_TRUE(BN_is_word(e, 65537));
    EXPECT_GT(BN_cmp(p, q), 0);
    BIGNUM* public_e = bn(pub.exponent, 256);
    EXPECT_EQ(0, BN_cmp(e, public_e));
    BN_free(public_e);
    RSA* rsa = RSA_new();
    RSA_set0_key(rsa, n, e, d);
    RSA_set0_factors(rsa, p, q);
    RSA_set0_crt_params(rsa, dp, dq, iqmp);
    EXPECT_EQ(RSA_check_key(rsa), 1) << bits;  // n = pq, ed = 1 mod lcm, CRT values
    RSA_free(rsa);
    EXPECT_EQ(rsa_check_private_key(priv), 0);
  }
}

TEST(KeyGeneration, SameSeedSameKey) {
  RandomPool a = seeded_pool(1), b = seeded_pool(1);
  RsaPublicKey pa, pb;
  RsaPrivateKey sa, sb;
  ASSERT_EQ(rsa_generate_keys(512, &a, &pa, &sa), 0);
  ASSERT_EQ(rsa_generate_keys(512, &b, &pb, &sb), 0);
  EXPECT_EQ(0, std::memcmp(&sa, &sb, sizeof sa));
  RsaPublicKey pc;
  RsaPrivateKey sc;
  ASSERT_EQ(rsa_generate_keys(512, &a, &pc, &sc), 0);
  EXPECT_NE(0, std::memcmp(pa.modulus, pc.modulus, sizeof pa.modulus));
}

}  // namespace
