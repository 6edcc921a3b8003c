// Authorize with key files: when the dialog is shown, what its answers lead
// to, and how long an opened key is reused.
#include "signer/authorize.h"

#include <cstring>
#include <utility>
#include <vector>

#include "signer/crypto_initializer.h"
#include "signer/signer.h"
#include "signer/signer_clock.h"
#include "tests/unit/sign_dialog/sign_dialog_fixture.h"

using namespace ui;
using sign_dialog_test::FixtureKeyPath;
using sign_dialog_test::kFixturePassphrase;

namespace {

constexpr int kPassphrase = 201;

int64_t g_now = 1'800'000'000;
int64_t FakeNow() { return g_now; }

class AuthorizeFile : public sign_dialog_test::SignDialogTest {
 protected:
  void SetUp() override {
    SignDialogTest::SetUp();
    SetSignerClock(&FakeNow);
    crypto.CloseKey();
    ReaskDeadline = 0;
    std::strcpy(CurrentUserName, "previous user");
    config.keyList.Append("Test key", FixtureKeyPath());
    Store();
  }
  void TearDown() override {
    crypto.CloseKey();
    SetSignerClock(nullptr);
    SignDialogTest::TearDown();
  }

  // The user types `passphrase` and presses OK.
  void ExpectPassphrase(const std::string& passphrase) {
    ui.ExpectDialog(201, [passphrase](ScriptedDialog& d) {
      d.SetText(kPassphrase, passphrase);
      d.PressEnter();
    });
  }
  size_t DialogsShown() const { return ui.Shown().size(); }

  CSigner signer;
  CCryptoInitializer& crypto = CCryptoInitializer::Instance();
};

}  // namespace

TEST_F(AuthorizeFile, RightPassphraseOpensTheKeyAndNamesTheUser) {
  ExpectPassphrase(kFixturePassphrase);
  EXPECT_TRUE(Authorize(signer));
  ASSERT_TRUE(crypto.key_open());
  EXPECT_EQ(crypto.key().serial, 12345u);
  EXPECT_EQ(crypto.key().engine_id, ENGINE_BUILTIN);
  EXPECT_STREQ(CurrentUserName, "Test");  // a key file's user ID ends at its first space
  EXPECT_EQ(signer.Error(), 0);
  EXPECT_TRUE(ui.message_boxes.empty());
}

TEST_F(AuthorizeFile, CancelIsError102WithoutAMessage) {
  ui.ExpectDialog(201, [](ScriptedDialog& d) { d.PressEscape(); });
  EXPECT_FALSE(Authorize(signer));
  EXPECT_EQ(signer.Error(), 102);
  EXPECT_TRUE(ui.message_boxes.empty());
  EXPECT_STREQ(CurrentUserName, "");
  EXPECT_FALSE(crypto.key_open());
}

TEST_F(AuthorizeFile, MissingKeyOrPassphraseIsIncorrectInput) {
  for (const bool with_key : {true, false}) {
    if (!with_key) {
      config.keyList.Clear();
      Store();
    }
    ui.message_boxes.clear();
    ExpectPassphrase(with_key ? "" : kFixturePassphrase);
    EXPECT_FALSE(Authorize(signer));
    EXPECT_EQ(signer.Error(), 103);
    ASSERT_EQ(ui.message_boxes.size(), 1u);
    EXPECT_EQ(ui.message_boxes[0].text, "Incorrect input data");
    EXPECT_EQ(ui.message_boxes[0].caption, "Error");
    EXPECT_EQ(ui.message_boxes[0].type, kMbOk | kMbIconError);
  }
}

TEST_F(AuthorizeFile, WrongPassphraseClosesTheKeyThatWasOpen) {
  config.ReaskIndex = 9;  // "Always"
  Store();
  ExpectPassphrase(kFixturePassphrase);
  ASSERT_TRUE(Authorize(signer));
  ExpectPassphrase("wrong");
  EXPECT_FALSE(Authorize(signer));
  EXPECT_EQ(signer.Error(), 1008);
  ASSERT_EQ(ui.message_boxes.size(), 1u);
  EXPECT_EQ(ui.message_boxes[0].text, "Invalid passphrase");
  EXPECT_EQ(ui.message_boxes[0].caption, "Key loading error");
  EXPECT_EQ(ui.message_boxes[0].type, kMbOk | kMbIconError);
  EXPECT_FALSE(crypto.key_open());
}

TEST_F(AuthorizeFile, MissingKeyFileShowsItsCoreMessage) {
  config.keyList.Clear();
  config.keyList.Append("Gone", dir.Path("gone.key"));
  Store();
  ExpectPassphrase("anything");
  EXPECT_FALSE(Authorize(signer));
  EXPECT_EQ(signer.Error(), 1000 - CORE_E_FILE_NOT_FOUND);
  ASSERT_EQ(ui.message_boxes.size(), 1u);
  EXPECT_EQ(ui.message_boxes[0].text, "File not found");
}

TEST_F(AuthorizeFile, AskAgainDecidesWhenTheDialogReturns) {
  const struct {
    uint32_t reask_index;
    const char* name;
    // Seconds after the first authorization, and whether the dialog shows then.
    std::vector<std::pair<int64_t, bool>> later;
  } cases[] = {
      {1, "1 min.", {{59, false}, {60, true}, {119, false}}},
      {0, "Never", {{1, false}, {10'000'000, false}}},
      {9, "Always", {{0, true}, {1, true}}},
  };
  for (const auto& c : cases) {
    crypto.CloseKey();
    config.ReaskIndex = c.reask_index;
    Store();
    const int64_t start = g_now;
    ExpectPassphrase(kFixturePassphrase);
    ASSERT_TRUE(Authorize(signer)) << c.name;
    for (const auto& [after, dialog] : c.later) {
      g_now = start + after;
      const size_t before = DialogsShown();
      if (dialog) ExpectPassphrase(kFixturePassphrase);
      EXPECT_TRUE(Authorize(signer)) << c.name << " +" << after;
      EXPECT_EQ(DialogsShown() - before, dialog ? 1u : 0u) << c.name << " +" << after;
      EXPECT_STREQ(CurrentUserName, "Test");  // a key file's user ID ends at its first space
    }
  }
}
