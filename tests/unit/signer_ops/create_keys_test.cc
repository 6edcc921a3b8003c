#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engines/hardanchor.h"
#include "platform/codepage.h"
#include "signer_fixture.h"
#include "tests/unit/keyfiles/card_check.h"
#include "tests/unit/keyfiles/keycard_text.h"

namespace signer_checks {
namespace {

namespace fs = std::filesystem;

class CreateKeysTest : public SignerOps {
 protected:
  void SetUp() override {
    SignerOps::SetUp();
    dir_ = home_.dir() + "/keys";
    fs::create_directory(dir_);
  }

  std::u16string Create(const std::string& card, int bits, const std::u16string& folder) {
    std::u16string message = u"untouched";
    EXPECT_EQ(signer_.CreateKeys(folder, platform::ansi_to_utf16(card), u"new-pass", bits, &message), kStatusOk);
    return message;
  }
  std::u16string Create(const std::string& card, int bits) { return Create(card, bits, platform::utf8_to_utf16(dir_)); }

  void Put(const std::string& name, const std::string& bytes) { std::ofstream(dir_ + "/" + name) << bytes; }
  std::string Read(const std::string& name) {
    std::ifstream in(dir_ + "/" + name, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
  }
  size_t FileCount() { return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {})); }

  const std::string card_ = testing_keycard::make_key_card("PETROV", "777");
  std::string dir_;
};

TEST_F(CreateKeysTest, RefusedRequestsTouchNoFile) {
  std::string corrupted = card_;
  corrupted[corrupted.find("PETROV")] = 'Q';  // the check no longer matches
  const struct {
    std::string card;
    int bits;
    std::u16string folder;
    std::u16string message;
  } cases[] = {
      {card_, 768, platform::utf8_to_utf16(dir_), u"Key size can be 512, 1024 or 2048 bits"},
      {corrupted, 512, platform::utf8_to_utf16(dir_),
       u"Inposible to create new keys!\nProbably this key`s card \n has been modified (corrupted)."},
      // A folder that does not fit its buffer is empty: nothing may land in the root.
      {card_, 512, std::u16string(300, u'd'), u"Inposiblie to write secret key in file secret.key!\nError creating fle"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Create(c.card, c.bits, c.folder), c.message);
    EXPECT_EQ(FileCount(), 0u);
  }
  std::optional<std::u16string> card = u"untouched";
  signer_.get_PublicCard(&card);
  EXPECT_FALSE(card.has_value());
  EXPECT_TRUE(ui_.message_boxes.empty());
}

TEST_F(CreateKeysTest, ExistingKeysAnsweredNoAreKept) {
  Put("secret.key", "old secret");
  Put("random.bin", "old random");
  ui_.message_box_answers = {ui::kIdNo};
  EXPECT_EQ(Create(card_, 512), u"untouched");
  ASSERT_EQ(ui_.message_boxes.size(), 1u);
  EXPECT_EQ(ui_.message_boxes[0].text, "Directory '" + dir_ + "' already has keys!\nDelete and create new keys?");
  EXPECT_EQ(ui_.message_boxes[0].caption, "Warning");
  EXPECT_EQ(ui_.message_boxes[0].type & ui::kMbButtonMask, ui::kMbYesNo);
  EXPECT_EQ(Read("secret.key"), "old secret");
  EXPECT_EQ(Read("random.bin"), "old random");
  EXPECT_EQ(FileCount(), 2u);
}

TEST_F(CreateKeysTest, CreatesAKeySetWhoseSecretKeyOpens) {
  Put("pubkeys.key", "old cards");
  Put("random.bin", "old random");
  Put("private.key", "old private");
  Put("notes.txt", "the user's own file");
  ui_.message_box_answers = {ui::kIdYes};
  EXPECT_EQ(Create(card_, 512), u"untouched");
  EXPECT_EQ(ui_.message_boxes.size(), 1u);
  EXPECT_FALSE(fs::exists(dir_ + "/random.bin"));
  EXPECT_FALSE(fs::exists(dir_ + "/private.key"));
  EXPECT_EQ(Read("notes.txt"), "the user's own file");
  EXPECT_FALSE(CCryptoInitializer::Instance().key_open());  // the new key is not the signer's key

  // secret.key opens with the passphrase and holds the card's key.
  KeyHardAnchor anchor;
  ASSERT_EQ(anchor.OpenKeyFile(ENGINE_BUILTIN, (dir_ + "/secret.key").c_str(), "new-pass", &OpenKey()), 0);
  EXPECT_EQ(OpenKey().serial, 777u);
  EXPECT_STREQ(OpenKey().user_id, "PETROV");
  const KeyCertRecord key = PublicRecord();
  RSA* rsa = RSA_new();
  RSA_set0_key(rsa, BN_bin2bn(key.n, sizeof key.n, nullptr), BN_bin2bn(key.e, sizeof key.e, nullptr), nullptr);

  // Both card files and the kept card are certified by that key.
  std::optional<std::u16string> card;
  signer_.get_PublicCard(&card);
  ASSERT_TRUE(card.has_value());
  const std::string card_text = *platform::utf16_to_ansi(*card);
  EXPECT_TRUE(testing_keys::card_certification_verifies(card_text, rsa));
  EXPECT_TRUE(testing_keys::card_certification_verifies(Read("Public.iks"), rsa));
  EXPECT_TRUE(testing_keys::card_certification_verifies(Read("pubkeys.key"), rsa));
  RSA_free(rsa);
}

TEST_F(CreateKeysTest, RefusedWhileAnotherThreadHoldsTheLock) {
  LockHolder other;
  ASSERT_TRUE(other.held());
  EXPECT_EQ(Create(card_, 512), u"");
  EXPECT_EQ(FileCount(), 0u);
  ASSERT_EQ(ui_.message_boxes.size(), 1u);
  EXPECT_EQ(ui_.message_boxes[0].text, "Library already in use");
}

TEST_F(CreateKeysTest, BrowseForFolder) {
  std::u16string folder = u"untouched";
  ui_.ExpectFolderDialog(std::nullopt);
  EXPECT_EQ(signer_.BrowseForFolder(&folder), 1);
  EXPECT_EQ(folder, u"untouched");
  ui_.ExpectFolderDialog(dir_ + "/ключи");
  EXPECT_EQ(signer_.BrowseForFolder(&folder), kStatusOk);
  EXPECT_EQ(folder, platform::utf8_to_utf16(dir_) + u"/ключи");
  EXPECT_EQ(ui_.FolderRequests(), (std::vector<std::string>{"Key management", "Key management"}));
}

}  // namespace
}  // namespace signer_checks
