#include <gtest/gtest.h>

#include <string>

#include "key_session.h"

namespace {

using testing_keys::all_zero;
using testing_keys::KeySession;

using KeyGenerationFromCard = KeySession;

TEST_F(KeyGenerationFromCard, BuiltinEngineSizes) {
  const std::string card = testing_keycard::make_key_card("Size Test", "4242");
  struct Case {
    int bits;
    int expected;
  };
  for (const Case& c : {Case{507, CORE_E_KEYLEN}, Case{2049, CORE_E_KEYLEN}, Case{0, CORE_E_KEYLEN},
                        Case{508, 0}, Case{1024, 0}, Case{2048, 0}}) {
    KeyHandle secret{}, pub{};
    EXPECT_EQ(core_generate_keys(ENGINE_BUILTIN, card.c_str(), -1, &secret, &pub, c.bits), c.expected) << c.bits;
    if (c.expected != 0) {
      EXPECT_TRUE(all_zero(&secret, sizeof secret));
      EXPECT_TRUE(all_zero(&pub, sizeof pub));
      continue;
    }
    EXPECT_EQ(core_ctrl(ENGINE_BUILTIN, CTRL_KEY_BITS, &secret), c.bits);
    EXPECT_EQ(core_ctrl(ENGINE_BUILTIN, CTRL_KEY_BITS, &pub), c.bits);
    EXPECT_EQ(secret.kind, KEY_KIND_SECRET);
    EXPECT_EQ(pub.kind, KEY_KIND_PUBLIC);
    EXPECT_EQ(secret.serial, 4242u);
    EXPECT_EQ(pub.serial, 4242u);
    EXPECT_STREQ(secret.user_id, "Size Test");
    EXPECT_STREQ(pub.user_id, "Size Test");
    RSA* rsa = testing_keys::openssl_public_key(&pub);
    EXPECT_TRUE(testing_keys::signs_for(&secret, rsa)) << c.bits;
    RSA_free(rsa);
    core_close_key(&secret);
    core_close_key(&pub);
  }
}

TEST_F(KeyGenerationFromCard, RefusedBeforeGenerating) {
  const std::string good = testing_keycard::make_key_card("x", "1");
  const std::string too_large = testing_keycard::make_key_card("x", "100000000");
  const std::string negative = testing_keycard::make_key_card("x", "-5");
  std::string bad = good;
  bad[bad.size() - 1] = bad[bad.size() - 1] == 'A' ? 'B' : 'A';
  struct Case {
    int16_t engine;
    const std::string* card;
    int expected;
  };
  const Case cases[] = {
      {ENGINE_BUILTIN, &bad, CORE_E_KEYCARD}, {ENGINE_BUILTIN, &too_large, CORE_E_KEYCARD},
      {ENGINE_OPENSSL, &negative, CORE_E_KEYCARD}, {4, &good, CORE_E_NOT_READY},
      {7, &good, CORE_E_ENGINE},              {-1, &good, CORE_E_ENGINE},
      {ENGINE_CRYPTOAPI, &good, CORE_E_NOT_SUPPORTED},
  };
  for (const auto& c : cases) {
    KeyHandle secret{}, pub{};
    EXPECT_EQ(core_generate_keys(c.engine, c.card->c_str(), -1, &secret, &pub, 512), c.expected) << c.engine;
    EXPECT_TRUE(all_zero(&secret, sizeof secret));
    EXPECT_TRUE(all_zero(&pub, sizeof pub));
  }
}

TEST_F(KeyGenerationFromCard, OpenSslEngineKeysExportAndOpenWithBuiltin) {
  generate(ENGINE_OPENSSL, 1024);
  EXPECT_EQ(secret_.engine_id, ENGINE_OPENSSL);
  EXPECT_EQ(core_ctrl(ENGINE_OPENSSL, CTRL_KEY_BITS, &secret_), 1024);
  const std::string text = export_secret("pw");
  KeyHandle key{};
  ASSERT_EQ(core_open_secret_key(ENGINE_BUILTIN, text.c_str(), -1, "pw", &key), 0);
  RSA* rsa = testing_keys::openssl_public_key(&public_);
  EXPECT_TRUE(testing_keys::signs_for(&key, rsa));
  RSA_free(rsa);
  core_close_key(&key);
}

}  // namespace
