#include "token_fixture.h"

#include <cstring>

ForwarderState* forwarder_under(const char* vendor_name) {
  platform::LibraryHandle library = platform::load_library(vendor_name);
  if (library == nullptr) return nullptr;
  auto state_fn = reinterpret_cast<ForwarderStateFn>(
      platform::library_symbol(library, kForwarderStateSymbol));
  // The library stays loaded for the rest of the test program.
  return state_fn == nullptr ? nullptr : state_fn();
}

std::vector<uint8_t> md5_digest_info(uint8_t fill) {
  std::vector<uint8_t> info = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                               0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
  for (int i = 0; i < 16; ++i) info.push_back(static_cast<uint8_t>(fill + i));
  return info;
}

void TokenEngineTest::SetUp() {
  token_ = std::make_unique<SoftToken>(kTokenLabel, kTokenPin);
  if (counted_vendor_ != nullptr) {
    state_ = forwarder_under(counted_vendor_);
    ASSERT_NE(state_, nullptr) << counted_vendor_;
    std::memset(state_, 0, sizeof *state_);
  }
  core_init();
}

void TokenEngineTest::TearDown() {
  if (state_ != nullptr) {
    EXPECT_EQ(state_->open_sessions(), 0) << "sessions left open";
    EXPECT_EQ(state_->user_logins, state_->user_logouts) << "logins not logged out";
  }
  core_done();
  token_.reset();
}

void TokenEngineTest::restart_core() {
  core_done();
  core_init();
}

void TokenEngineTest::use_token(int16_t engine, const char* pin) {
  ASSERT_EQ(core_ctrl(engine, CTRL_SELECT_TOKEN, 0), 0);
  ASSERT_EQ(core_ctrl(engine, CTRL_SET_PIN, pin), 0);
}

int TokenEngineTest::generate(int16_t engine, uint32_t serial, const char* user_id, int bits) {
  KeyHandle secret{};
  KeyHandle public_key{};
  secret.engine_id = public_key.engine_id = engine;
  secret.kind = KEY_KIND_SECRET;
  public_key.kind = KEY_KIND_PUBLIC;
  secret.serial = public_key.serial = serial;
  std::strncpy(secret.user_id, user_id, sizeof secret.user_id - 1);
  std::memcpy(public_key.user_id, secret.user_id, sizeof secret.user_id);
  return g_engine_table[engine].generate_keys(&secret, &public_key, bits);
}

int TokenEngineTest::import_public(int16_t engine, uint32_t serial, const char* user_id,
                                   int modulus_bytes) {
  KeyCertRecord record{};
  record.serial = serial;
  std::strncpy(record.user_id, user_id, sizeof record.user_id - 1);
  uint8_t* n = record.n + sizeof record.n - modulus_bytes;
  n[0] = 0xc5;
  for (int i = 1; i < modulus_bytes; ++i) n[i] = static_cast<uint8_t>(i * 7 + serial);
  n[modulus_bytes - 1] |= 1;
  record.e[sizeof record.e - 3] = 1;
  record.e[sizeof record.e - 1] = 1;
  return g_engine_table[engine].import_public_key(&record);
}
