#include "core/rsa.h"

#include <gtest/gtest.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>

#include <cstring>
#include <vector>

#include "tests/support/test_keys.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes random_bytes(size_t length) {
  Bytes bytes(length);
  RAND_bytes(bytes.data(), static_cast<int>(length));
  return bytes;
}

// The DigestInfo of an MD5 digest: 18 bytes of prefix and 16 of digest.
Bytes digest_info() {
  Bytes info = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
  for (int i = 0; i < 16; ++i) info.push_back(static_cast<uint8_t>(0xA0 + i));
  return info;
}

// The block under a signature, recovered by OpenSSL's raw public operation.
Bytes open_signature(const RSA* rsa, const Bytes& signature) {
  Bytes block(RSA_size(rsa));
  const int n = RSA_public_decrypt(static_cast<int>(signature.size()), signature.data(), block.data(),
                                   const_cast<RSA*>(rsa), RSA_NO_PADDING);
  EXPECT_EQ(n, RSA_size(rsa));
  return block;
}

class RsaSigning : public ::testing::TestWithParam<int> {};

TEST_P(RsaSigning, MatchesOpenSslAndPadsWithBlockTypeOne) {
  const TestKey& test = test_rsa_key(GetParam());
  const RsaPrivateKey key = rsa_private_key_from(test.rsa.get());
  const size_t k = rsa_modulus_bytes(key.bits);
  ASSERT_EQ(k, static_cast<size_t>(RSA_size(test.rsa.get())));
  const Bytes input = digest_info();

  Bytes signature(k);
  ASSERT_EQ(rsa_sign_pkcs1(input.data(), input.size(), key, signature.data()), 0);

  Bytes expected(k);
  ASSERT_EQ(RSA_private_encrypt(static_cast<int>(input.size()), input.data(), expected.data(),
                                test.rsa.get(), RSA_PKCS1_PADDING),
            static_cast<int>(k));
  EXPECT_EQ(signature, expected);

  Bytes block = {0x00, 0x01};
  block.insert(block.end(), k - input.size() - 3, 0xFF);
  block.push_back(0x00);
  block.insert(block.end(), input.begin(), input.end());
  EXPECT_EQ(open_signature(test.rsa.get(), signature), block);
}

// 512 bits is the smallest key (27 bytes of FF under a DigestInfo); 1001 bits
// gives a modulus whose top byte is partly used.
INSTANTIATE_TEST_SUITE_P(KeySizes, RsaSigning, ::testing::Values(512, 1001, 1024, 2048));

TEST(RsaSigning, InputLengthLimitLeavesAtLeastEightBytesOfPadding) {
  const TestKey& test = test_rsa_key(512);
  const RsaPrivateKey key = rsa_private_key_from(test.rsa.get());
  const size_t k = rsa_modulus_bytes(key.bits);
  Bytes out(k);

  const Bytes too_long = random_bytes(k - 10);
  EXPECT_EQ(rsa_sign_pkcs1(too_long.data(), too_long.size(), key, out.data()), RSA_ERR_DATA_LEN);

  const Bytes longest = random_bytes(k - 11);
  ASSERT_EQ(rsa_sign_pkcs1(longest.data(), longest.size(), key, out.data()), 0);
  const Bytes block = open_signature(test.rsa.get(), out);
  EXPECT_EQ(block[0], 0x00);
  EXPECT_EQ(block[1], 0x01);
  EXPECT_EQ(Bytes(block.begin() + 2, block.begin() + 10), Bytes(8, 0xFF));
  EXPECT_EQ(block[10], 0x00);
  EXPECT_EQ(Bytes(block.begin() + 11, block.end()), longest);
}

TEST(RsaPrivateBlock, EqualsTheRawPrivateOperationAndInvertsWithE) {
  for (int bits : {512, 1024, 2048}) {
    const TestKey& test = test_rsa_key(bits);
    const RsaPrivateKey key = rsa_private_key_from(test.rsa.get());
    RsaCrtContext crt;
    ASSERT_TRUE(crt.init(key));
    const size_t k = rsa_modulus_bytes(key.bits);
    // Random inputs below n (top byte cleared) reach both signs of mP - mQ.
    for (int round = 0; round < 16; ++round) {
      Bytes x = random_bytes(k);
      x[0] = 0;
      Bytes ours(k), cached(k), theirs(k), back(k);
      ASSERT_EQ(rsa_private_block(x.data(), k, key, ours.data()), 0);
      ASSERT_EQ(rsa_private_block(x.data(), k, key, crt, cached.data()), 0);
      ASSERT_EQ(RSA_private_decrypt(static_cast<int>(k), x.data(), theirs.data(), test.rsa.get(), RSA_NO_PADDING),
                static_cast<int>(k));
      EXPECT_EQ(ours, theirs) << bits;
      EXPECT_EQ(cached, theirs) << bits;
      ASSERT_EQ(RSA_public_encrypt(static_cast<int>(k), ours.data(), back.data(), test.rsa.get(), RSA_NO_PADDING),
                static_cast<int>(k));
      EXPECT_EQ(back, x) << bits;
    }
  }
}

TEST(RsaPrivateBlock, RefusesInputsNotBelowTheModulus) {
  const TestKey& test = test_rsa_key(512);
  const RsaPrivateKey key = rsa_private_key_from(test.rsa.get());
  const size_t k = rsa_modulus_bytes(key.bits);
  Bytes out(k);
  const Bytes n(key.modulus + sizeof key.modulus - k, key.modulus + sizeof key.modulus);
  Bytes n_minus_one = n;
  n_minus_one.back() -= 1;  // n is odd
  Bytes with_zeros(300, 0);
  with_zeros.back() = 5;

  struct Case {
    const char* name;
    Bytes input;
    int result;
  } cases[] = {
      {"n", n, RSA_ERR_DATA_RANGE},
      {"all FF", Bytes(k, 0xFF), RSA_ERR_DATA_RANGE},
      {"longer than k", Bytes(k + 1, 0x01), RSA_ERR_DATA_RANGE},
      {"n - 1", n_minus_one, 0},
      {"zero", Bytes(k, 0), 0},
      {"leading zeros beyond k", with_zeros, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(rsa_private_block(c.input.data(), c.input.size(), key, out.data()), c.result) << c.name;
}

TEST(RsaPrivateBlock, UnusableKeysFailInsteadOfCrashing) {
  const RsaPrivateKey good = rsa_private_key_from(test_rsa_key(512).rsa.get());
  const uint8_t one = 1;
  struct Case {
    const char* name;
    void (*spoil)(RsaPrivateKey&);
  } cases[] = {
      {"all zero", [](RsaPrivateKey& k) { std::memset(&k, 0, sizeof k); }},
      {"zero bits", [](RsaPrivateKey& k) { k.bits = 0; }},
      {"too many bits", [](RsaPrivateKey& k) { k.bits = 2049; }},
      {"even prime", [](RsaPrivateKey& k) { k.prime[0][127] &= 0xFE; }},
      {"zero prime", [](RsaPrivateKey& k) { std::memset(k.prime[1], 0, sizeof k.prime[1]); }},
  };
  for (const Case& c : cases) {
    RsaPrivateKey key = good;
    c.spoil(key);
    uint8_t out[kRsaMaxModulusBytes];
    EXPECT_NE(rsa_private_block(&one, 1, key, out), 0) << c.name;
    EXPECT_NE(rsa_sign_pkcs1(&one, 1, key, out), 0) << c.name;
  }
}

TEST(RsaCheckPrivateKey, DetectsAModulusThatIsNotTheProductOfThePrimes) {
  const RsaPrivateKey good = rsa_private_key_from(test_rsa_key(1024).rsa.get());
  EXPECT_EQ(rsa_check_private_key(good), 0);
  struct Case {
    const char* name;
    uint8_t* (*byte)(RsaPrivateKey&);
    uint8_t bit;
  } cases[] = {
      {"prime 2", [](RsaPrivateKey& k) { return &k.prime[1][100]; }, 0x01},
      {"prime 1", [](RsaPrivateKey& k) { return &k.prime[0][127]; }, 0x02},
      {"modulus", [](RsaPrivateKey& k) { return &k.modulus[200]; }, 0x10},
  };
  for (const Case& c : cases) {
    RsaPrivateKey bad = good;
    *c.byte(bad) ^= c.bit;
    EXPECT_EQ(rsa_check_private_key(bad), -1) << c.name;
  }
}

TEST(RsaPrimeExponents, AreDModuloPrimeMinusOne) {
  const RSA* rsa = test_rsa_key(1024).rsa.get();
  const RsaPrivateKey expected = rsa_private_key_from(rsa);
  RsaPrivateKey key = expected;
  std::memset(key.prime_exponent, 0, sizeof key.prime_exponent);
  ASSERT_EQ(rsa_compute_prime_exponents(key), 0);
  EXPECT_EQ(std::memcmp(key.prime_exponent, expected.prime_exponent, sizeof key.prime_exponent), 0);

  std::memset(key.prime[1], 0, sizeof key.prime[1]);
  key.prime[1][127] = 1;  // prime - 1 = 0 has no remainder
  EXPECT_EQ(rsa_compute_prime_exponents(key), -1);
}

TEST(RsaPublicBlock, InvertsThePrivateBlock) {
  const TestKey& test = test_rsa_key(1024);
  const RsaPrivateKey secret = rsa_private_key_from(test.rsa.get());
  RsaPublicKey key{};
  key.bits = secret.bits;
  std::memcpy(key.modulus, secret.modulus, sizeof key.modulus);
  std::memcpy(key.exponent, secret.public_exponent, sizeof key.exponent);
  const size_t k = rsa_modulus_bytes(key.bits);
  Bytes x = random_bytes(k), signature(k), back(k);
  x[0] = 0;
  ASSERT_EQ(rsa_private_block(x.data(), k, secret, signature.data()), 0);
  ASSERT_EQ(rsa_public_block(signature.data(), k, key, back.data()), 0);
  EXPECT_EQ(back, x);
  EXPECT_EQ(rsa_public_block(Bytes(k, 0xFF).data(), k, key, back.data()), RSA_ERR_DATA_RANGE);
}

}  // namespace
