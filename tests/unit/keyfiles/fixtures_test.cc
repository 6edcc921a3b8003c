// The key fixtures under tests/fixtures/: a key card and the key set made from
// it. With VELIX_WRITE_FIXTURES=1 the Write test makes them again from the
// existing secret.key (VELIX_WRITE_FIXTURES=new: from a newly generated key):
//   VELIX_WRITE_FIXTURES=1 build/bin/test_keyfiles --gtest_filter='KeyFixtures.*'
// The other tests check that the committed files are what they claim to be.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/document.h"
#include "card_check.h"
#include "key_session.h"

namespace {

namespace fs = std::filesystem;

const fs::path kFixtures = fs::path(VELIX_SOURCE_DIR) / "tests" / "fixtures";
constexpr const char* kPassphrase = "velix-test";
constexpr const char* kUserId = "Test User";
constexpr uint32_t kSerial = 12345;
constexpr int kBits = 1024;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class KeyFixtures : public ::testing::Test {
 protected:
  void SetUp() override { core_init(); }
  void TearDown() override { core_done(); }
};

// The public half of an open secret key of the builtin engine.
KeyHandle public_half(KeyHandle* secret) {
  KeyCertRecord cert{};
  EXPECT_EQ(core_engine(ENGINE_BUILTIN)->export_secret_key(&cert, secret), 0);
  cert.packet_type = 6;
  KeyHandle pub{};
  pub.engine_id = ENGINE_BUILTIN;
  pub.kind = KEY_KIND_PUBLIC;
  pub.serial = secret->serial;
  std::memcpy(pub.user_id, secret->user_id, sizeof pub.user_id);
  EXPECT_EQ(core_engine(ENGINE_BUILTIN)->open_public_key(&cert, &pub), 0);
  return pub;
}

KeyHandle open_fixture_key() {
  const std::string text = read_file(kFixtures / "secret.key");
  KeyHandle secret{};
  EXPECT_EQ(core_open_secret_key(ENGINE_BUILTIN, text.c_str(), -1, kPassphrase, &secret), 0);
  return secret;
}

TEST_F(KeyFixtures, Write) {
  const char* mode = std::getenv("VELIX_WRITE_FIXTURES");
  if (mode == nullptr) GTEST_SKIP() << "set VELIX_WRITE_FIXTURES=1 to write them";
  const std::string card = testing_keycard::make_key_card(kUserId, std::to_string(kSerial));
  std::ofstream(kFixtures / "keycard.txt", std::ios::binary) << card;
  KeyHandle secret{}, pub{};
  if (std::string(mode) == "new" || !fs::exists(kFixtures / "secret.key")) {
    ASSERT_EQ(core_generate_keys(ENGINE_BUILTIN, card.c_str(), -1, &secret, &pub, kBits), 0);
    ASSERT_GT(core_save_secret_key((kFixtures / "secret.key").string().c_str(), kPassphrase, &secret), 0);
  } else {
    secret = open_fixture_key();
    pub = public_half(&secret);
  }
  ASSERT_GT(core_save_secret_key((kFixtures / "secret_unprotected.key").string().c_str(), "", &secret), 0);
  // As the key creation writes them: each card certified by the new secret key.
  fs::remove(kFixtures / "Public.iks");
  fs::remove(kFixtures / "pubkeys.key");
  ASSERT_GT(core_store_public_card((kFixtures / "Public.iks").string().c_str(), &pub, &secret), 0);
  ASSERT_GT(core_store_public_card((kFixtures / "pubkeys.key").string().c_str(), &pub, &secret), 0);
  core_close_key(&secret);
  core_close_key(&pub);
}

TEST_F(KeyFixtures, KeyCardParses) {
  const std::string card = read_file(kFixtures / "keycard.txt");
  KeyHandle secret{}, pub{};
  ASSERT_EQ(core_generate_keys(ENGINE_BUILTIN, card.c_str(), static_cast<int>(card.size()), &secret, &pub, 512), 0);
  EXPECT_EQ(secret.serial, kSerial);
  EXPECT_STREQ(secret.user_id, kUserId);
  core_close_key(&secret);
  core_close_key(&pub);
}

TEST_F(KeyFixtures, SecretKeysOpenWithTheirPassphrase) {
  const std::string protected_key = read_file(kFixtures / "secret.key");
  const std::string clear_key = read_file(kFixtures / "secret_unprotected.key");
  KeyHandle a{}, b{};
  ASSERT_EQ(core_open_secret_key(ENGINE_BUILTIN, protected_key.c_str(), -1, kPassphrase, &a), 0);
  ASSERT_EQ(core_open_secret_key(ENGINE_BUILTIN, clear_key.c_str(), -1, "", &b), 0);
  EXPECT_EQ(a.serial, kSerial);
  EXPECT_STREQ(a.user_id, kUserId);
  EXPECT_EQ(core_ctrl(ENGINE_BUILTIN, CTRL_KEY_BITS, &a), kBits);
  // Both files hold the same key.
  KeyCertRecord ca{}, cb{};
  core_engine(ENGINE_BUILTIN)->export_secret_key(&ca, &a);
  core_engine(ENGINE_BUILTIN)->export_secret_key(&cb, &b);
  EXPECT_EQ(0, std::memcmp(ca.n, cb.n, sizeof ca.n));
  EXPECT_EQ(0, std::memcmp(ca.d, cb.d, sizeof ca.d));
  core_close_key(&a);
  core_close_key(&b);
  EXPECT_EQ(core_open_secret_key(ENGINE_BUILTIN, protected_key.c_str(), -1, "", &a), CORE_E_PASSPHRASE);
  EXPECT_EQ(core_open_secret_key(ENGINE_BUILTIN, clear_key.c_str(), -1, kPassphrase, &a), CORE_E_PASSPHRASE);
}

TEST_F(KeyFixtures, PublicCardsAreCertifiedByTheSecretKey) {
  KeyHandle secret = open_fixture_key();
  KeyHandle pub = public_half(&secret);
  RSA* rsa = testing_keys::openssl_public_key(&pub);
  for (const char* name : {"Public.iks", "pubkeys.key"}) {
    const std::string text = read_file(kFixtures / name);
    DocumentRecord doc{};
    ASSERT_EQ(read_document(text.c_str(), static_cast<int>(text.size()), &doc), static_cast<int>(text.size()))
        << name;
    EXPECT_STREQ(doc.type, "NS");
    EXPECT_EQ(doc.serial1, kSerial);
    EXPECT_EQ(doc.serial2, kSerial);
    EXPECT_TRUE(testing_keys::card_certification_verifies(text, rsa)) << name;
  }
  RSA_free(rsa);
  core_close_key(&pub);
  core_close_key(&secret);
}

}  // namespace
