// The token page and the token's own state: a forwarding vendor library over
// SoftHSM2 reports the PIN flags SoftHSM2 never sets (count low, final try,
// locked, a PIN pad on the reader); a second token of the same model and
// label, and SoftHSM2's uninitialised slot, show how tokens are listed.
#include <cstring>

#include "signer/authorize.h"
#include "signer/crypto_initializer.h"
#include "signer/signer.h"
#include "tests/unit/sign_dialog/token_dialog_fixture.h"
#include "forwarder_state.h"

using namespace ui;
using sign_dialog_test::kTokenPin;

// The forwarding library's state (from the token engine tests' support library).
ForwarderState* forwarder_under(const char* vendor_name);

namespace {

constexpr int kTokenPasswordLabel = 226, kTokenPassword = 227, kUpdate = 228, kTokenKeys = 229,
              kTokenIndicator = 283, kTokenList = 492, kTokenNotice = 494;

class TokenStatePage : public sign_dialog_test::TokenDialogTest {
 protected:
  void SetUp() override {
    forwarder = forwarder_under("etpkcs11.dll");
    ASSERT_NE(forwarder, nullptr);
    std::memset(forwarder, 0, sizeof *forwarder);
    sign_dialog_test::TokenDialogTest::SetUp();
  }
  void TearDown() override {
    std::memset(forwarder, 0, sizeof *forwarder);
    sign_dialog_test::TokenDialogTest::TearDown();
  }
  ForwarderState* forwarder = nullptr;
};

}  // namespace

TEST_F(TokenStatePage, PinFlagsAreShownBeforeThePinIsTyped) {
  Generate(777, "Token User");
  const struct {
    CK_FLAGS flags;
    const char* notice;  // nullptr: none shown
    bool password_shown;
  } cases[] = {
      {0, nullptr, true},
      {CKF_USER_PIN_COUNT_LOW, "Few PIN tries left", true},
      {CKF_USER_PIN_FINAL_TRY, "Last PIN try: a wrong PIN locks the token", true},
      {CKF_USER_PIN_FINAL_TRY | CKF_USER_PIN_COUNT_LOW, "Last PIN try: a wrong PIN locks the token", true},
      {CKF_USER_PIN_LOCKED, "The PIN is locked", true},
      {CKF_PROTECTED_AUTHENTICATION_PATH, "Enter the PIN on the reader", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    forwarder->extra_token_flags = c.flags;
    StoreTokenChoice(777);
    CSignDlgImp dialog;
    Show(dialog, [&](ScriptedDialog& d) {
      EXPECT_EQ(d.Text(kTokenList), token_name);
      EXPECT_EQ(d.IsVisible(kTokenNotice), c.notice != nullptr);
      if (c.notice != nullptr) {
        EXPECT_EQ(d.Text(kTokenNotice), c.notice);
      }
      for (int id : {kTokenPasswordLabel, kTokenPassword, kTokenIndicator})
        EXPECT_EQ(d.IsVisible(id), c.password_shown) << id;
      d.PressEscape();
    });
  }
}

TEST_F(TokenStatePage, LockedPinLeavesOnlyCancelAndTheFilePage) {
  Generate(777, "Token User");
  forwarder->user_login_attempts = 0;  // the key was made with a login
  // Locked by the flag, or by a vendor's count of no tries left.
  for (const bool by_count : {false, true}) {
    SCOPED_TRACE(by_count);
    forwarder->extra_token_flags = by_count ? 0 : CKF_USER_PIN_LOCKED;
    forwarder->vendor_status_object = by_count;
    forwarder->vendor_status_values[0] = 0;
    forwarder->vendor_status_values[1] = 10;
    StoreTokenChoice(0);
    CSignDlgImp dialog;
    Show(dialog, [&](ScriptedDialog& d) {
      EXPECT_EQ(d.Text(kTokenNotice), "The PIN is locked");
      for (int id : {kTokenPassword, kUpdate, kTokenKeys, 1}) EXPECT_FALSE(d.IsEnabled(id)) << id;
      EXPECT_TRUE(d.IsEnabled(2));
      EXPECT_TRUE(d.IsEnabled(kTokenList));
      EXPECT_EQ(d.FocusedItem(), 2);
      d.PressEnter();  // OK is disabled: nothing happens
      EXPECT_FALSE(d.Ended());
      d.SelectTab(223, 0);  // the file page works as ever
      EXPECT_TRUE(d.IsEnabled(1));
      d.SelectTab(223, 1);
      EXPECT_FALSE(d.IsEnabled(1));
      d.PressEscape();
    });
  }
  EXPECT_TRUE(ui.message_boxes.empty());
  EXPECT_EQ(forwarder->user_login_attempts, 0);
}

TEST_F(TokenStatePage, TriesLeftAreShownWhereTheTokenCountsThem) {
  Generate(777, "Token User");
  forwarder->vendor_status_object = true;
  const struct {
    uint32_t left, most;
    CK_FLAGS flags;
    const char* notice;
  } cases[] = {
      {7, 10, 0, "PIN tries left: 7"},
      {2, 10, CKF_USER_PIN_COUNT_LOW, "PIN tries left: 2"},
      {1, 10, 0, "Last PIN try: a wrong PIN locks the token"},
      {3, 0, CKF_USER_PIN_COUNT_LOW, "Few PIN tries left"},  // no maximum: the count means nothing
      {12, 10, 0, nullptr},                                   // more than the maximum: neither
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.left);
    forwarder->vendor_status_values[0] = c.left;
    forwarder->vendor_status_values[1] = c.most;
    forwarder->extra_token_flags = c.flags;
    StoreTokenChoice(777);
    CSignDlgImp dialog;
    Show(dialog, [&](ScriptedDialog& d) {
      EXPECT_EQ(d.IsVisible(kTokenNotice), c.notice != nullptr);
      if (c.notice != nullptr) {
        EXPECT_EQ(d.Text(kTokenNotice), c.notice);
      }
      EXPECT_TRUE(d.IsEnabled(kTokenPassword));
      EXPECT_TRUE(d.IsEnabled(1));
      d.PressEscape();
    });
  }
}

TEST_F(TokenStatePage, PinPadTokenLogsInWithANullPinAndSigningOpensTheKey) {
  Generate(777, "Token User");
  forwarder->extra_token_flags = CKF_PROTECTED_AUTHENTICATION_PATH;
  std::strcpy(forwarder->pin_pad_pin, kTokenPin);
  StoreTokenChoice(0);
  CSignDlgImp dialog;
  EXPECT_EQ(Show(dialog, [&](ScriptedDialog& d) {
    d.Click(kUpdate);  // lists the keys after the user typed the PIN on the reader
    EXPECT_EQ(d.Items(kTokenKeys), (std::vector<std::string>{"Token User [777]"}));
    d.PressEnter();
  }), 1);
  EXPECT_TRUE(dialog.PinPadLogin());
  EXPECT_EQ(dialog.Passphrase(), "");
  EXPECT_GE(forwarder->null_pin_logins, 1);
  EXPECT_TRUE(ui.message_boxes.empty());

  // Authorize opens the key the same way, with no passphrase.
  const int before = forwarder->null_pin_logins;
  CSigner signer;
  StoreTokenChoice(777);
  ui.ExpectDialog(CSignDlg::kTemplateId, [](ScriptedDialog& d) { d.PressEnter(); });
  EXPECT_TRUE(Authorize(signer));
  EXPECT_GT(forwarder->null_pin_logins, before);
  EXPECT_EQ(CCryptoInitializer::Instance().key().serial, 777u);
}

TEST_F(TokenStatePage, TwoTokensOfOneModelDifferAndEmptySlotsAreNotListed) {
  // A second token with the same label in SoftHSM2's free slot; a new free slot follows it.
  core_done();
  token_->init_free_slot(sign_dialog_test::kTokenLabel, kTokenPin);
  core_init();
  std::vector<std::string> listed;
  const int count = core_ctrl(ENGINE_PKCS11, CTRL_TOKEN_COUNT);
  EXPECT_EQ(count, 3);
  for (int i = 0; i < count; ++i) {
    const std::string name = CSignDlg::ListedTokenName(ENGINE_PKCS11, i);
    if (!name.empty()) listed.push_back(name);
  }
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_NE(listed[0], listed[1]);
  for (const std::string& name : listed)
    EXPECT_EQ(name.rfind(std::string("SoftHSM v2\\") + sign_dialog_test::kTokenLabel + " (", 0), 0u) << name;

  StoreTokenChoice(0);
  CSignDlgImp dialog;
  Show(dialog, [&](ScriptedDialog& d) {
    EXPECT_EQ(d.Items(kTokenList).size(), 2u);
    EXPECT_EQ(d.Text(kTokenList), token_name);
    d.PressEscape();
  });
}

TEST_F(TokenStatePage, AskAgainIsOfferedByVelixcomOnly) {
  Generate(777, "Token User");
  config.ReaskIndex = 3;
  StoreTokenChoice(777);
  for (const SignerFlavour flavour : {SignerFlavour::kHost, SignerFlavour::kComServer}) {
    const bool offered = flavour == SignerFlavour::kComServer;
    CSigner signer(flavour);
    ui.ExpectDialog(CSignDlg::kTemplateId, [&](ScriptedDialog& d) {
      EXPECT_EQ(d.IsVisible(204), offered);
      EXPECT_EQ(d.IsVisible(489), offered);
      d.SetText(kTokenPassword, kTokenPin);
      d.PressEnter();
    });
    EXPECT_TRUE(Authorize(signer));
    CCryptoInitializer::Instance().CloseKey();
    EXPECT_EQ(Stored().ReaskIndex, 3u) << "the stored choice is kept for velixcom";
  }
}
