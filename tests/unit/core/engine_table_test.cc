#include <gtest/gtest.h>

#include "core/core.h"
#include "core/engine.h"
#include "platform/crypto_api.h"

namespace {

class EngineTable : public ::testing::Test {
 protected:
  void SetUp() override { core_init(); }
  void TearDown() override { core_done(); }
};

bool all_zero(const KeyHandle& key) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&key);
  for (size_t i = 0; i < sizeof key; ++i)
    if (bytes[i] != 0) return false;
  return true;
}

TEST_F(EngineTable, RegistersEveryEngineButFour) {
  for (int16_t id = 0; id < ENGINE_COUNT; ++id) {
    EXPECT_EQ(core_ctrl(id, CTRL_READY), id == 4 ? 0 : 1) << id;
    EXPECT_EQ(g_engine_table[id].id, id == 4 ? 0 : id) << id;
  }
}

TEST_F(EngineTable, UnusedEngineFourFailsEveryRoutedCall) {
  EXPECT_EQ(core_ctrl(4, CTRL_LOAD_STATUS), 0);
  EXPECT_EQ(core_ctrl(4, CTRL_TOKEN_COUNT), CORE_E_NOT_SUPPORTED);
  EXPECT_EQ(core_ctrl(4, CTRL_TOKEN_NAME, 0, nullptr, 0), CORE_E_NOT_SUPPORTED);
  KeyHandle key{};
  key.kind = KEY_KIND_SECRET;
  EXPECT_EQ(core_open_public_key_by_serial(4, 1, &key), CORE_E_NOT_READY);
  EXPECT_TRUE(all_zero(key));
  EXPECT_EQ(core_open_secret_key_by_serial(4, 1, &key), CORE_E_NOT_READY);
  EXPECT_TRUE(all_zero(key));
}

TEST_F(EngineTable, IdsOutsideTheTableAreRefused) {
  for (int16_t id : {int16_t{7}, int16_t{-1}, int16_t{100}}) {
    for (int command : {CTRL_READY, CTRL_LOAD_STATUS, CTRL_TOKEN_COUNT})
      EXPECT_EQ(core_ctrl(id, command), CORE_E_ENGINE) << id << " " << command;
    KeyHandle key{};
    EXPECT_EQ(core_open_secret_key_by_serial(id, 1, &key), CORE_E_ENGINE);
    EXPECT_EQ(core_open_public_key_by_serial(id, 1, &key), CORE_E_ENGINE);
    key.engine_id = id;
    key.kind = KEY_KIND_SECRET;
    EXPECT_EQ(core_close_key(&key), CORE_E_ENGINE);
  }
}

TEST_F(EngineTable, ClosingAnEmptyKindClearsTheHandle) {
  KeyHandle key{};
  key.serial = 77;
  key.user_id[0] = 'x';
  EXPECT_EQ(core_close_key(&key), CORE_E_INVALID_KEY);
  EXPECT_TRUE(all_zero(key));
}

TEST_F(EngineTable, FailedOpenLeavesAnEmptyHandle) {
  // The file-key engines find no key behind a bare serial number.
  for (int16_t id : {ENGINE_BUILTIN, ENGINE_OPENSSL}) {
    KeyHandle key{};
    EXPECT_EQ(core_open_secret_key_by_serial(id, 77, &key), CORE_E_INVALID_KEY) << id;
    EXPECT_TRUE(all_zero(key)) << id;
  }
}

TEST_F(EngineTable, OpenAndCloseRouteToTheEngine) {
  KeyHandle key{};
  ASSERT_EQ(core_open_public_key_by_serial(ENGINE_OPENSSL, 77, &key), 0);
  EXPECT_EQ(key.engine_id, ENGINE_OPENSSL);
  EXPECT_EQ(key.kind, KEY_KIND_PUBLIC);
  EXPECT_EQ(key.serial, 77u);
  EXPECT_NE(key.engine_data, nullptr);
  EXPECT_EQ(core_close_key(&key), 0);
  EXPECT_TRUE(all_zero(key));
}

TEST_F(EngineTable, CryptoApiHasNoControlsAndNoKeysBySerial) {
  KeyHandle key{};
  EXPECT_EQ(core_ctrl(ENGINE_CRYPTOAPI, CTRL_KEY_BITS, &key), CORE_E_NOT_SUPPORTED);
  // A record that holds only a serial is no key it could import.
  EXPECT_EQ(core_open_secret_key_by_serial(ENGINE_CRYPTOAPI, 5, &key),
            platform::cryptoapi::available() ? CORE_E_INVALID_KEY : CORE_E_NOT_SUPPORTED);
  EXPECT_EQ(key.engine_data, nullptr);
}

TEST(EngineTableLifecycle, AfterTeardownNothingIsReady) {
  core_init();
  core_done();
  for (int16_t id = 0; id < ENGINE_COUNT; ++id) {
    EXPECT_EQ(core_ctrl(id, CTRL_READY), 0);
    KeyHandle key{};
    EXPECT_EQ(core_open_secret_key_by_serial(id, 1, &key), CORE_E_NOT_READY);
  }
}

}  // namespace
