// Vendor extras: the status object of ENGINE_PKCS11 and the extended
// function list of ENGINE_PKCS11_EXT.
#include <cstring>

#include "token_fixture.h"

namespace {

class VendorExtras : public TokenEngineTest {
 protected:
  void set_word(size_t offset, uint32_t value) {
    std::memcpy(state_->token_info + offset, &value, sizeof value);
  }
};

TEST_F(VendorExtras, StatusObjectValuesOfTheStandardEngine) {
  use_token(ENGINE_PKCS11);
  int second = -1;
  // SoftHSM2 has no such object.
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_TOKEN_INFO_EXT, &second), CORE_E_NOT_SUPPORTED);
  state_->vendor_status_object = true;
  state_->vendor_status_values[0] = 0x1234;
  state_->vendor_status_values[1] = 77;
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_TOKEN_INFO_EXT, &second), 0x1234);
  EXPECT_EQ(second, 77);
}

TEST_F(VendorExtras, ExtendedTokenInformationWords) {
  use_token(ENGINE_PKCS11_EXT);
  set_word(48, 5);
  set_word(52, 0x2a);
  int out = -1;
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_TOKEN_INFO_EXT, &out), 0x2a);
  EXPECT_EQ(out, 5);
  EXPECT_EQ(state_->token_info_size_received, 152u);
  EXPECT_EQ(state_->token_info_calls, 1);

  state_->token_info_result = CKR_DEVICE_ERROR;
  out = -1;
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_TOKEN_INFO_EXT, &out), 0);
  EXPECT_EQ(out, -1);
  ASSERT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_SELECT_TOKEN, 4), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_TOKEN_INFO_EXT, &out), -1);
}

TEST_F(VendorExtras, InitTokenReinitialisesThroughTheVendorFunction) {
  use_token(ENGINE_PKCS11);
  ASSERT_EQ(generate(ENGINE_PKCS11, 3, "Erased"), 0);
  set_word(40, 1);   // security officer tries: C_Login is called 1 + 2 times
  set_word(4, 17);   // a token kind that takes the longer PIN minimum
  use_token(ENGINE_PKCS11_EXT, kSoPin);
  ASSERT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_INIT_TOKEN, 0), 0);

  EXPECT_EQ(state_->so_login_calls, 3);
  EXPECT_EQ(state_->close_all_calls, 1);
  EXPECT_EQ(state_->init_token_calls, 1);
  EXPECT_STREQ(state_->init_token_pin, kSoPin);
  const ForwarderInitInfo& info = state_->init_info;
  EXPECT_EQ(info.size, sizeof(ForwarderInitInfo));
  EXPECT_EQ(info.version, 1u);
  EXPECT_STREQ(state_->init_info_so_pin, kSoPin);
  EXPECT_STREQ(state_->init_info_user_pin, kSoPin);
  EXPECT_EQ(info.so_pin_length, std::strlen(kSoPin));
  EXPECT_EQ(info.mode, 3u);
  EXPECT_EQ(info.min_so_pin_length, 6u);
  EXPECT_EQ(info.min_user_pin_length, 6u);
  EXPECT_EQ(info.max_so_pin_tries, 10u);
  EXPECT_EQ(info.max_user_pin_tries, 10u);
  EXPECT_STREQ(state_->init_info_label, "velix");
  EXPECT_EQ(info.label_length, 5u);

  // The token really was re-initialised: new label, keys gone.
  const CK_TOKEN_INFO token = token_->token_info();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(token.label), 5), "velix");
  char name[64];
  ASSERT_GT(core_ctrl(ENGINE_PKCS11, CTRL_TOKEN_NAME, 0, name, int{sizeof name}), 0);
  EXPECT_STREQ(name, "SoftHSM v2\\velix");
}

TEST_F(VendorExtras, InitTokenFailures) {
  use_token(ENGINE_PKCS11_EXT, kSoPin);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_INIT_TOKEN, 2), -1);
  state_->token_info_result = CKR_DEVICE_ERROR;
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_INIT_TOKEN, 0), -1);
  state_->token_info_result = CKR_OK;
  state_->init_token_result = CKR_PIN_INCORRECT;
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_INIT_TOKEN, 0), -2);
  // Without the mode words the shorter PIN minimum is used; 0 + 2 logins.
  EXPECT_EQ(state_->init_info.min_so_pin_length, 1u);
  EXPECT_EQ(state_->so_login_calls, 2);
  EXPECT_EQ(state_->open_sessions(), 0);
}

}  // namespace
