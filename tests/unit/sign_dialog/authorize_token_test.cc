// Authorize with a key on a SoftHSM2 token.
#include "signer/authorize.h"

#include <memory>

#include "signer/signer.h"
#include "signer/signer_state.h"
#include "tests/unit/sign_dialog/token_dialog_fixture.h"

using namespace ui;
using sign_dialog_test::kTokenPin;

namespace {

constexpr int kTokenPassword = 227;

class AuthorizeToken : public sign_dialog_test::TokenDialogTest {
 protected:
  void SetUp() override {
    TokenDialogTest::SetUp();
    ReaskDeadline = 0;
    // Made after the token: the first signer of the process starts the core.
    signer = std::make_unique<CSigner>();
    Generate(901, "Token User");
    StoreTokenChoice(901);
  }

  void ExpectPassword(const std::string& password) {
    ui.ExpectDialog(201, [password](ScriptedDialog& d) {
      d.SetText(kTokenPassword, password);
      d.PressEnter();
    });
  }

  std::unique_ptr<CSigner> signer;
  // Not taken before the token exists: the first use starts the core.
  static CCryptoInitializer& Crypto() { return CCryptoInitializer::Instance(); }
};

}  // namespace

TEST_F(AuthorizeToken, TokenKeyOpensUnderItsUserId) {
  ExpectPassword(kTokenPin);
  ASSERT_TRUE(Authorize(*signer));
  ASSERT_TRUE(Crypto().key_open());
  EXPECT_EQ(Crypto().key().engine_id, ENGINE_PKCS11);
  EXPECT_EQ(Crypto().key().serial, 901u);
  EXPECT_STREQ(CurrentUserName, "Token User");
  EXPECT_TRUE(ui.message_boxes.empty());

  // The key signs: the handle is a working private key on the token.
  char out[8192];
  EXPECT_GT(core_sign_document("Pay 10\r\n", -1, out, sizeof out, &Crypto().key()), 0);
}

TEST_F(AuthorizeToken, WrongTokenPasswordIsInvalidPassphrase) {
  ExpectPassword("9999");
  EXPECT_FALSE(Authorize(*signer));
  EXPECT_EQ(signer->Error(), 1008);
  ASSERT_EQ(ui.message_boxes.size(), 1u);
  EXPECT_EQ(ui.message_boxes[0].text, "Invalid passphrase");
  EXPECT_EQ(ui.message_boxes[0].caption, "Key loading error");
  EXPECT_FALSE(Crypto().key_open());
}
