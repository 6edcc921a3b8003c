// The authorization dialog over a real token: a fresh SoftHSM2 token for each
// test, which ENGINE_PKCS11 loads under a vendor library name.
#pragma once

#include <cstring>
#include <memory>
#include <string>

#include "core/core.h"
#include "core/engine.h"
#include "signer/crypto_initializer.h"
#include "soft_token.h"
#include "ui/sign_dlg.h"
#include "tests/unit/sign_dialog/sign_dialog_fixture.h"

namespace sign_dialog_test {

constexpr char kTokenLabel[] = "VelixToken";
constexpr char kTokenPin[] = "token-pin-1";

class TokenDialogTest : public SignDialogTest {
 protected:
  void SetUp() override {
    SignDialogTest::SetUp();
    token_ = std::make_unique<SoftToken>(label_, kTokenPin);
    CCryptoInitializer::Instance();  // the process's core session
    // Restarted so that the engines see this test's token.
    core_done();
    core_init();
    // Named as the dialog lists them; SoftHSM2's empty slot is not listed.
    const int count = core_ctrl(ENGINE_PKCS11, CTRL_TOKEN_COUNT);
    for (int i = 0; i < count; ++i) {
      const std::string text = ui::CSignDlg::ListedTokenName(ENGINE_PKCS11, i);
      if (text.empty()) continue;
      ++token_count;
      if (text.find("\\" + label_ + " (") != std::string::npos) {
        token_index = i;
        token_name = text;
      }
    }
    ASSERT_GE(token_index, 0) << "the token is not listed";
  }
  void TearDown() override {
    CCryptoInitializer::Instance().CloseKey();
    core_done();
    token_.reset();
    SignDialogTest::TearDown();
  }

  // A key pair on the token, made through the engine; the engine forgets the
  // PIN afterwards, as it has it when a dialog opens.
  void Generate(uint32_t serial, const char* user_id) {
    ASSERT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_SELECT_TOKEN, token_index), 0);
    ASSERT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_SET_PIN, kTokenPin), 0);
    KeyHandle secret{};
    KeyHandle public_key{};
    secret.engine_id = public_key.engine_id = ENGINE_PKCS11;
    secret.kind = KEY_KIND_SECRET;
    public_key.kind = KEY_KIND_PUBLIC;
    secret.serial = public_key.serial = serial;
    std::strncpy(secret.user_id, user_id, sizeof secret.user_id - 1);
    std::memcpy(public_key.user_id, secret.user_id, sizeof secret.user_id);
    ASSERT_EQ(g_engine_table[ENGINE_PKCS11].generate_keys(&secret, &public_key, 1024), 0);
    core_ctrl(ENGINE_PKCS11, CTRL_SET_PIN, "");
  }

  // Settings that open the dialog on the token page with this token chosen.
  void StoreTokenChoice(uint32_t serial) {
    config.KeyType = 1;
    config.tokenName = token_name;
    config.eTokenKeySerial = serial;
    Store();
  }

  std::string label_ = kTokenLabel;  // UTF-8; set before SetUp to name the token otherwise
  int token_count = 0;  // tokens the dialog lists
  int token_index = -1;
  std::string token_name;  // UTF-8, as the dialog lists it: model\\label (serial)
  std::unique_ptr<SoftToken> token_;
};

}  // namespace sign_dialog_test
