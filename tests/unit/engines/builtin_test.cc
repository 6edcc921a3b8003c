#include <cstring>

#include "engines/builtin.h"
#include "tests/unit/engines/engine_fixture.h"

namespace {

class Builtin : public EngineTest {};

bool all_zero(const void* data, size_t length) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < length; ++i)
    if (bytes[i] != 0) return false;
  return true;
}

TEST_F(Builtin, PoolIsSeededAtRegistrationAndClearedAtTeardown) {
  const RandomPool* pool = builtin_random_pool();
  EXPECT_EQ(pool->bytes_needed, 0u);
  EXPECT_FALSE(all_zero(pool->state, sizeof pool->state));
  core_done();
  EXPECT_TRUE(all_zero(pool, sizeof *pool));
  EXPECT_EQ(engine(ENGINE_BUILTIN).random_bytes, nullptr);
  core_init();
}

TEST_F(Builtin, RefusesBitCountsTheRecordsCannotHold) {
  const KeyCertRecord& good = test_rsa_key(1024).record;
  for (int16_t bits : {int16_t{0}, int16_t{-1024}, int16_t{1023}, int16_t{2049}}) {
    KeyCertRecord record = good;
    record.modulus_bits = bits;
    OpenKey key;
    EXPECT_EQ(open(ENGINE_BUILTIN, KEY_KIND_SECRET, record, key), CORE_E_INVALID_KEY) << bits;
    EXPECT_EQ(key->engine_data, nullptr);
  }
  // A bit count above the modulus length only widens the output.
  KeyCertRecord record = good;
  record.modulus_bits = 1032;
  OpenKey key;
  ASSERT_EQ(open(ENGINE_BUILTIN, KEY_KIND_SECRET, record, key), 0);
  EXPECT_EQ(core_ctrl(ENGINE_BUILTIN, CTRL_KEY_BITS, key.get()), 1032);
}

TEST_F(Builtin, AttachedKeysSignLikeOpenedOnes) {
  const TestKey& test = test_rsa_key(1024);
  OpenKey opened, attached;
  ASSERT_EQ(open(ENGINE_BUILTIN, KEY_KIND_SECRET, test.record, opened), 0);
  attached->engine_id = ENGINE_BUILTIN;
  attached->kind = KEY_KIND_SECRET;
  ASSERT_EQ(builtin_attach_secret_key(attached.get(), rsa_private_key_from(test.rsa.get())), 0);
  const Bytes input = md5_digest_info(0x10);
  Bytes a(128), b(128);
  ASSERT_EQ(builtin_sign_digest(input.data(), 34, a.data(), 128, opened.get()), 0);
  ASSERT_EQ(builtin_sign_digest(input.data(), 34, b.data(), 128, attached.get()), 0);
  EXPECT_EQ(a, b);

  RsaPrivateKey unusable{};
  OpenKey refused;
  EXPECT_EQ(builtin_attach_secret_key(refused.get(), unusable), CORE_E_INVALID_KEY);
  EXPECT_EQ(refused->engine_data, nullptr);
}

}  // namespace
