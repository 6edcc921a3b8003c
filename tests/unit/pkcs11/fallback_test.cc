// The second-choice vendor libraries: ENGINE_PKCS11 on "etpkcs11.dll" (here
// SoftHSM2 itself), ENGINE_PKCS11_EXT past an "rtPKCS11.dll" that lacks the
// vendor extension, and no library for ENGINE_PKCS11_ID.
#include <cstring>

#include "token_fixture.h"

namespace {

class Fallback : public TokenEngineTest {
 protected:
  Fallback() : TokenEngineTest("ktPKCS11ECP.dll") {}
  void SetUp() override {
    // Held before the engines load and unload it, so its counters survive.
    plain_ = forwarder_under("rtPKCS11.dll");
    ASSERT_NE(plain_, nullptr);
    std::memset(plain_, 0, sizeof *plain_);
    TokenEngineTest::SetUp();
  }

  ForwarderState* plain_ = nullptr;
};

TEST_F(Fallback, EachEngineSettlesOnTheLibraryThatWorks) {
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LOAD_STATUS), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_TOKEN_COUNT), 2);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_LOAD_STATUS), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_TOKEN_COUNT), 2);
  // The library without the extension was loaded, initialised and let go.
  EXPECT_EQ(plain_->initialize_calls, 1);
  EXPECT_EQ(plain_->open_sessions(), 0);
  EXPECT_EQ(state_->initialize_calls, 1);

  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_ID, CTRL_READY), 1);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_ID, CTRL_LOAD_STATUS), 1);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_ID, CTRL_TOKEN_COUNT), CORE_E_NOT_READY);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_ID, CTRL_SET_PIN, kTokenPin), CORE_E_NOT_READY);
}

TEST_F(Fallback, ExtendedEngineUsesTheExtensionOfTheSecondLibrary) {
  use_token(ENGINE_PKCS11_EXT);
  int out = 0;
  std::memset(state_->token_info + 52, 9, 1);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_TOKEN_INFO_EXT, &out), 9);
  EXPECT_EQ(state_->token_info_calls, 1);
}

TEST_F(Fallback, FlagsZeroLeaveUsageAttributesToTheTokenAndMarkImportsUnmodifiable) {
  use_token(ENGINE_PKCS11);
  use_token(ENGINE_PKCS11_EXT);
  ASSERT_EQ(import_public(ENGINE_PKCS11, 1, "Flags zero", 128), 0);
  ASSERT_EQ(import_public(ENGINE_PKCS11_EXT, 2, "Flags two", 128), 0);
  EXPECT_EQ(token_->attribute("morva1", CKO_PUBLIC_KEY, CKA_MODIFIABLE),
            (std::vector<uint8_t>{CK_FALSE}));
  EXPECT_EQ(token_->attribute("morva2", CKO_PUBLIC_KEY, CKA_MODIFIABLE),
            (std::vector<uint8_t>{CK_TRUE}));

  // A key generated and used through SoftHSM2 loaded directly as a vendor library.
  ASSERT_EQ(generate(ENGINE_PKCS11, 10, "Direct"), 0);
  KeyHandle key{};
  ASSERT_EQ(core_open_secret_key_by_serial(ENGINE_PKCS11, 10, &key), 0);
  const auto digest_info = md5_digest_info(5);
  uint8_t signature[256];
  ASSERT_EQ(g_engine_table[ENGINE_PKCS11].sign_digest(digest_info.data(), 34, signature, 256, &key),
            0);
  KeyHandle public_key{};
  ASSERT_EQ(core_open_public_key_by_serial(ENGINE_PKCS11, 10, &public_key), 0);
  EXPECT_EQ(g_engine_table[ENGINE_PKCS11].verify_digest(signature, 256, digest_info.data(), 34,
                                                        &public_key),
            0);
}

}  // namespace
