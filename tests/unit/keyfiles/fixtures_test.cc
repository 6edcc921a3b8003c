// The key fixtures under tests/fixtures/: a key card and the key set made from
// it. With VELIX_WRITE_FIXTURES=1 the Write test makes them again:
//   VELIX_WRITE_FIXTURES=1 build/bin/test_keyfiles --gtest_filter='KeyFixtures.*'
// The other tests check that the committed files are what they claim to be.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/document.h"
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

TEST_F(KeyFixtures, Write) {
  if (std::getenv("VELIX_WRITE_FIXTURES") == nullptr) GTEST_SKIP() << "set VELIX_WRITE_FIXTURES=1 to write them";
  const std::string card = testing_keycard::make_key_card(kUserId, std::to_string(kSerial));
  std::ofstream(kFixtures / "keycard.txt", std::ios::binary) << card;
  KeyHandle secret{}, pub{};
  ASSERT_EQ(core_generate_keys(ENGINE_BUILTIN, card.c_str(), -1, &secret, &pub, kBits), 0);
  ASSERT_GT(core_save_secret_key((kFixtures / "secret.key").c_str(), kPassphrase, &secret), 0);
  ASSERT_GT(core_save_secret_key((kFixtures / "secret_unprotected.key").c_str(), "", &secret), 0);
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

}  // namespace
