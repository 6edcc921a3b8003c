#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/armor.h"
#include "core/document.h"
#include "tests/support/portable.h"
#include "card_check.h"
#include "key_session.h"

namespace {

namespace fs = std::filesystem;
using testing_keys::KeySession;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

class KeyFiles : public KeySession {
 protected:
  void SetUp() override {
    KeySession::SetUp();
    dir_ = fs::temp_directory_path() / ("velix_keyfiles_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    fs::remove_all(dir_);
    KeySession::TearDown();
  }

  std::string card(KeyHandle* certifying = nullptr) {
    std::vector<char> out(2048);
    const int n = core_export_public_card(out.data(), static_cast<int>(out.size()), &public_, certifying);
    EXPECT_GT(n, 0);
    return std::string(out.data(), n > 0 ? n : 0);
  }

  // The serials of the documents of a card collection, in order.
  static std::vector<uint32_t> serials_in(const std::string& text) {
    std::vector<uint32_t> serials;
    size_t offset = 0;
    DocumentRecord doc{};
    int n;
    while ((n = read_document(text.data() + offset, static_cast<int>(text.size() - offset), &doc)) > 0) {
      serials.push_back(doc.serial1);
      offset += n;
    }
    return serials;
  }

  fs::path dir_;
};

TEST_F(KeyFiles, SavedSecretKeyOpensFromTheFile) {
  const fs::path path = dir_ / "secret.key";
  const int written = core_save_secret_key(path.string().c_str(), "pw", &secret_);
  const std::string text = read_file(path);
  ASSERT_GT(written, 0);
  EXPECT_EQ(static_cast<size_t>(written), text.size());
  EXPECT_TRUE(text.ends_with("END SIGNATURE\r\n"));
  if (test_support::kPosixFileModes) {
    EXPECT_EQ(fs::status(path).permissions() & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);
  }
  KeyHandle key{};
  ASSERT_EQ(core_open_secret_key(ENGINE_BUILTIN, text.c_str(), -1, "pw", &key), 0);
  core_close_key(&key);
  // Saving again replaces the file.
  ASSERT_GT(core_save_secret_key(path.string().c_str(), "other", &secret_), 0);
  EXPECT_EQ(core_open_secret_key(ENGINE_BUILTIN, read_file(path).c_str(), -1, "pw", &key), CORE_E_PASSPHRASE);
  EXPECT_EQ(core_open_secret_key(ENGINE_BUILTIN, read_file(path).c_str(), -1, "other", &key), 0);
  core_close_key(&key);
}

TEST_F(KeyFiles, FailedExportLeavesTheFileAsItWas) {
  const fs::path secret = dir_ / "secret.key", cards = dir_ / "pubkeys.key";
  write_file(secret, "old key");
  write_file(cards, "old cards");
  KeyHandle wrong_kind = public_;  // the builtin engine exports secret keys only from kind 1
  EXPECT_EQ(core_save_secret_key(secret.string().c_str(), "pw", &wrong_kind), CORE_E_INVALID_KEY);
  KeyHandle unknown_engine = public_;
  unknown_engine.engine_id = 4;
  EXPECT_EQ(core_store_public_card(cards.string().c_str(), &unknown_engine, nullptr), CORE_E_NOT_READY);
  EXPECT_EQ(read_file(secret), "old key");
  EXPECT_EQ(read_file(cards), "old cards");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);  // no temporary left
}

TEST_F(KeyFiles, UnwritableFolder) {
  const fs::path missing = dir_ / "no such folder" / "secret.key";
  EXPECT_EQ(core_save_secret_key(missing.string().c_str(), "pw", &secret_), CORE_E_CREATE_FILE);
  EXPECT_EQ(core_store_public_card(missing.string().c_str(), &public_, nullptr), CORE_E_CREATE_FILE);
}

TEST_F(KeyFiles, PublicCardLayout) {
  const std::string text = card();
  DocumentRecord doc{};
  ASSERT_EQ(read_document(text.c_str(), -1, &doc), static_cast<int>(text.size()));
  EXPECT_STREQ(doc.type, "NS");
  EXPECT_STREQ(doc.name1, kUserId);
  EXPECT_EQ(doc.serial1, kSerial);
  EXPECT_STREQ(doc.name2, "");
  EXPECT_EQ(doc.serial2, 0u);
  EXPECT_EQ(doc.signature_length, 0);
  std::vector<uint8_t> packets(2048);
  const int n = armor_decode(doc.data, doc.data_length, packets.data(), 2048);
  ASSERT_EQ(n, doc.plain_length);
  ASSERT_EQ(packets[0], 0x99);
  const size_t body = packets[1] << 8 | packets[2];
  EXPECT_EQ(body, 12u + 66 + 5);
  // Check word over "Test User" and 11 zero bytes, serial and algorithm.
  EXPECT_EQ(packets[3 + 1] << 24 | packets[3 + 2] << 16 | packets[3 + 3] << 8 | packets[3 + 4], 12345);
  EXPECT_EQ(packets[3 + 11], 1);
  const std::vector<uint8_t> tail(packets.begin() + 3 + body, packets.begin() + n);
  EXPECT_EQ(tail, (std::vector<uint8_t>{0xB0, 1, 0x87, 0xB4, 9, 'T', 'e', 's', 't', ' ', 'U', 's', 'e', 'r', 0xB0,
                                        1, 0x03}));
}

TEST_F(KeyFiles, CertifiedCardVerifiesIndependently) {
  const std::string text = card(&secret_);
  DocumentRecord doc{};
  ASSERT_GT(read_document(text.c_str(), -1, &doc), 0);
  EXPECT_STREQ(doc.name2, kUserId);
  EXPECT_EQ(doc.serial2, kSerial);
  EXPECT_GT(doc.signature_length, 0);
  RSA* rsa = testing_keys::openssl_public_key(&public_);
  EXPECT_TRUE(testing_keys::card_certification_verifies(text, rsa));
  // Certified by another key: that key's name and serial, and only its public key verifies.
  KeyHandle other_secret{}, other_public{};
  const std::string other_card = testing_keycard::make_key_card("Certifier", "500");
  ASSERT_EQ(core_generate_keys(ENGINE_OPENSSL, other_card.c_str(), -1, &other_secret, &other_public, 1024), 0);
  const std::string certified = card(&other_secret);
  ASSERT_GT(read_document(certified.c_str(), -1, &doc), 0);
  EXPECT_STREQ(doc.name1, kUserId);
  EXPECT_STREQ(doc.name2, "Certifier");
  EXPECT_EQ(doc.serial2, 500u);
  RSA* other_rsa = testing_keys::openssl_public_key(&other_public);
  EXPECT_TRUE(testing_keys::card_certification_verifies(certified, other_rsa));
  EXPECT_FALSE(testing_keys::card_certification_verifies(certified, rsa));
  RSA_free(rsa);
  RSA_free(other_rsa);
  // A certifying handle on an engine that cannot sign.
  KeyHandle no_signer = other_secret;
  no_signer.engine_id = 4;
  std::vector<char> out(2048);
  EXPECT_EQ(core_export_public_card(out.data(), 2048, &public_, &no_signer), CORE_E_NOT_READY);
  no_signer.engine_id = 9;
  EXPECT_EQ(core_export_public_card(out.data(), 2048, &public_, &no_signer), CORE_E_ENGINE);
  core_close_key(&other_secret);
  core_close_key(&other_public);
}

TEST_F(KeyFiles, CardCollectionAddsAndReplacesBySerial) {
  const fs::path path = dir_ / "pubkeys.key";
  const std::string first = card();
  ASSERT_EQ(core_store_public_card(path.string().c_str(), &public_, nullptr), static_cast<int>(first.size()) + 2);
  EXPECT_EQ(read_file(path), first + "\r\n");

  // Cards of other serials around ours stay where they are.
  KeyHandle other = public_;
  other.serial = 777;
  std::vector<char> buffer(2048);
  const std::string card_777(buffer.data(), core_export_public_card(buffer.data(), 2048, &other, nullptr));
  other.serial = 888;
  const std::string card_888(buffer.data(), core_export_public_card(buffer.data(), 2048, &other, nullptr));
  write_file(path, card_777 + "\r\n" + first + "\r\n" + card_888 + "\r\n");
  ASSERT_GT(core_store_public_card(path.string().c_str(), &public_, nullptr), 0);
  EXPECT_EQ(serials_in(read_file(path)), (std::vector<uint32_t>{777, 12345, 888}));
  EXPECT_TRUE(read_file(path).starts_with(card_777 + "\r\n"));
  EXPECT_TRUE(read_file(path).ends_with(card_888 + "\r\n"));

  // A file without our serial gets the card appended.
  write_file(path, card_777 + "\r\n");
  ASSERT_EQ(core_store_public_card(path.string().c_str(), &public_, nullptr), static_cast<int>(first.size()) + 2);
  EXPECT_EQ(serials_in(read_file(path)), (std::vector<uint32_t>{777, 12345}));
}

TEST_F(KeyFiles, CardCollectionBeyondTheScannedBytesIsKept) {
  const fs::path path = dir_ / "pubkeys.key";
  KeyHandle other = public_;
  std::vector<char> buffer(2048);
  std::string content;
  for (uint32_t serial = 1; content.size() < 12000; ++serial) {
    other.serial = serial;
    content += std::string(buffer.data(), core_export_public_card(buffer.data(), 2048, &other, nullptr)) + "\r\n";
  }
  const std::vector<uint32_t> before = serials_in(content);
  // Our serial is the second card: it is replaced, and every byte after 8192 survives.
  write_file(path, content);
  const KeyHandle saved = public_;
  public_.serial = 2;
  ASSERT_GT(core_store_public_card(path.string().c_str(), &public_, nullptr), 0);
  public_ = saved;
  const std::string after = read_file(path);
  EXPECT_EQ(serials_in(after), before);
  EXPECT_EQ(after.substr(after.size() - (content.size() - 8192)), content.substr(8192));
  // A serial beyond the scanned part is not found: the card is appended.
  const uint32_t last = before.back();
  public_.serial = last;
  ASSERT_GT(core_store_public_card(path.string().c_str(), &public_, nullptr), 0);
  public_ = saved;
  const std::vector<uint32_t> appended = serials_in(read_file(path));
  EXPECT_EQ(appended.size(), before.size() + 1);
  EXPECT_EQ(appended.back(), last);
}

}  // namespace
