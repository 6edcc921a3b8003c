// No vendor library installed under any of the engines' names.
#include <cstring>

#include "token_fixture.h"

namespace {

class NoLibrary : public TokenEngineTest {
 protected:
  NoLibrary() : TokenEngineTest(nullptr) {}
};

constexpr int16_t kTokenEngines[] = {ENGINE_PKCS11, ENGINE_PKCS11_EXT, ENGINE_PKCS11_ID};

TEST_F(NoLibrary, EnginesAreReadyButReportTheMissingLibrary) {
  for (int16_t engine : kTokenEngines) {
    SCOPED_TRACE(engine);
    EXPECT_EQ(core_ctrl(engine, CTRL_READY), 1);
    EXPECT_EQ(core_ctrl(engine, CTRL_LOAD_STATUS), 1);
    EXPECT_EQ(core_ctrl(engine, CTRL_TOKEN_COUNT), CORE_E_NOT_READY);
    char name[32];
    EXPECT_EQ(core_ctrl(engine, CTRL_TOKEN_NAME, 0, name, int{sizeof name}), CORE_E_NOT_READY);
    KeyHandle keys[2];
    EXPECT_EQ(core_ctrl(engine, CTRL_LIST_SECRET_KEYS, keys, 2), CORE_E_NOT_READY);
    EXPECT_EQ(core_ctrl(engine, CTRL_READ_DATA, "x", name, int{sizeof name}), CORE_E_NOT_READY);
    EXPECT_EQ(core_ctrl(engine, CTRL_PIN_LOCKED), CORE_E_NOT_READY);

    KeyHandle key{};
    EXPECT_EQ(core_open_secret_key_by_serial(engine, 1, &key), CORE_E_NOT_READY);
    key.kind = KEY_KIND_SECRET;
    const EngineEntry& entry = g_engine_table[engine];
    uint8_t out[256];
    EXPECT_EQ(entry.sign_digest(out, 34, out, 256, &key), CORE_E_NOT_READY);
    EXPECT_EQ(entry.random_bytes(out, 8), CORE_E_NOT_READY);
    KeyHandle public_key{};
    public_key.kind = KEY_KIND_PUBLIC;
    EXPECT_EQ(entry.generate_keys(&key, &public_key, 1024), CORE_E_NOT_READY);
    EXPECT_EQ(entry.generate_keys(&key, &public_key, 512), CORE_E_KEYLEN);
    KeyCertRecord record{};
    EXPECT_EQ(entry.import_public_key(&record), CORE_E_NOT_READY);
  }
  // Only the ID engine refuses even the commands that prepare a load.
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_SET_PIN, "1234"), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_SELECT_TOKEN, 1), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_ID, CTRL_SET_PIN, "1234"), CORE_E_NOT_READY);
}

TEST_F(NoLibrary, ALoadedLibraryPathSurvivesTheStandardEnginesReset) {
  ASSERT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LOAD_LIBRARY, kSoftHsmModule), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LOAD_STATUS), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_TOKEN_COUNT), 2);
  ASSERT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_LOAD_LIBRARY, "no-such-vendor.dll"), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_LOAD_STATUS), 1);

  restart_core();
  // The standard engine tries only the library it last used; the extended
  // engine forgets its path and tries its own names again.
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LOAD_STATUS), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_TOKEN_COUNT), 2);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_LOAD_STATUS), 1);
  // Forget the path again so that later tests in this program start clean.
  ASSERT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LOAD_LIBRARY, "jcPKCS11-2.dll"), 0);
}

}  // namespace
