// No vendor library installed under any of the engines' names: the
// extended and ID engines find nothing, ENGINE_PKCS11 falls back to p11-kit's
// proxy module, which offers SoftHSM2 (Debian's softhsm2 registers it with
// p11-kit; the test's SOFTHSM2_CONF points it at the test's token).
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engines/engine_log.h"
#include "engines/pkcs11_module_search.h"
#include "platform/registry.h"
#include "token_fixture.h"

namespace {

class NoLibrary : public TokenEngineTest {
 protected:
  NoLibrary() : TokenEngineTest(nullptr) {}
};

constexpr int16_t kEnginesWithoutProxy[] = {ENGINE_PKCS11_EXT, ENGINE_PKCS11_ID};

std::vector<std::string> g_log;
void keep_line(const std::string& line) { g_log.push_back(line); }

bool logged(const std::string& text) {
  for (const std::string& line : g_log)
    if (line.find(text) != std::string::npos) return true;
  return false;
}

TEST_F(NoLibrary, EnginesAreReadyButReportTheMissingLibrary) {
  for (int16_t engine : kEnginesWithoutProxy) {
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
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_SET_PIN, "1234"), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_SELECT_TOKEN, 1), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_ID, CTRL_SET_PIN, "1234"), CORE_E_NOT_READY);
}

TEST_F(NoLibrary, StandardEngineReachesTheTokenThroughTheP11KitProxy) {
  // The proxy starts every module p11-kit knows: it waits for the first use.
  engines::set_engine_log_sink(&keep_line);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LOAD_STATUS), 1);
  EXPECT_TRUE(logged("ENGINE_PKCS11: p11-kit's proxy module is tried at the first use"));
  EXPECT_FALSE(logged("p11-kit-proxy.so"));
  ASSERT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_SET_PIN, kTokenPin), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LOAD_STATUS), 1) << "setting the PIN needs no module";
  // SoftHSM2 shows the test's token and its empty slot through the proxy.
  const int count = core_ctrl(ENGINE_PKCS11, CTRL_TOKEN_COUNT);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LOAD_STATUS), 0);
  int found = -1;
  for (int i = 0; i < count; ++i) {
    char name[255] = {};
    core_ctrl(ENGINE_PKCS11, CTRL_TOKEN_NAME, i, name, int{sizeof name});
    if (std::string(name) == "SoftHSM v2\\MyToken") found = i;
  }
  ASSERT_GE(found, 0);
  ASSERT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_SELECT_TOKEN, found), 0);
  ASSERT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_SET_PIN, kTokenPin), 0);
  ASSERT_EQ(generate(ENGINE_PKCS11, 31, "Through proxy"), 0);
  KeyHandle keys[4];
  ASSERT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LIST_SECRET_KEYS, keys, 4), 1);
  EXPECT_EQ(keys[0].serial, 31u);

  // The search is in the log once: the vendor names, their packaged forms, the proxy.
  EXPECT_TRUE(logged("ENGINE_PKCS11: jcPKCS11-2.dll (libjcPKCS11-2.so): not found"));
  EXPECT_TRUE(logged("ENGINE_PKCS11: libjcpkcs11-2.so: not found"));
  EXPECT_TRUE(logged("ENGINE_PKCS11: etpkcs11.so: not found"));
  EXPECT_TRUE(logged("ENGINE_PKCS11: p11-kit-proxy.so: loaded"));
  EXPECT_TRUE(logged("ENGINE_PKCS11_EXT: ktPKCS11ECP.dll (libktPKCS11ECP.so): not found"));
  EXPECT_TRUE(logged("ENGINE_PKCS11_ID: no token module; the engine lists no tokens"));
  const size_t lines = g_log.size();
  restart_core();
  EXPECT_EQ(g_log.size(), lines) << "reported once per run";
  engines::set_engine_log_sink(nullptr);
}

TEST_F(NoLibrary, ModulePathFromTheSettingsIsTriedAfterTheVendorNames) {
  const std::filesystem::path config = token_->dir() / "config";
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  {
    platform::RegKey key;
    ASSERT_EQ(key.Create(platform::RegHive::kCurrentUser, "Software\\VelixCom"), platform::kRegOk);
    // The forwarder: SoftHSM2 itself is already initialised here by the proxy.
    const std::string path = FORWARDER_MODULE;
    ASSERT_EQ(key.SetValue("TokenModule6", platform::kRegSz, path.c_str(), static_cast<uint32_t>(path.size() + 1)),
              platform::kRegOk);
    ASSERT_EQ(key.SetValue("TokenModule5", platform::kRegSz, path.c_str(), static_cast<uint32_t>(path.size() + 1)),
              platform::kRegOk);
  }
  EXPECT_EQ(pkcs11::configured_module(ENGINE_PKCS11_ID), FORWARDER_MODULE);
  restart_core();
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_ID, CTRL_LOAD_STATUS), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_ID, CTRL_TOKEN_COUNT), 2);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_LOAD_STATUS), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_TOKEN_COUNT), 2);
}

// A relative module path would be loaded from whatever folder the program
// runs in: the engines leave it out and say so, even with a module there.
TEST_F(NoLibrary, RelativeModulePathFromTheSettingsIsNeverLoaded) {
  const std::filesystem::path config = token_->dir() / "config";
  const std::filesystem::path work = token_->dir() / "work";
  std::filesystem::create_directories(work / "lib");
  std::filesystem::copy_file(FORWARDER_MODULE, work / "lib" / "mod.so");
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(work);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  {
    platform::RegKey key;
    ASSERT_EQ(key.Create(platform::RegHive::kCurrentUser, "Software\\VelixCom"), platform::kRegOk);
    for (const char* name : {"TokenModule5", "TokenModule6"})
      ASSERT_EQ(key.SetValue(name, platform::kRegSz, "lib/mod.so", 11), platform::kRegOk);
  }
  g_log.clear();
  engines::set_engine_log_sink(&keep_line);
  for (const pkcs11::ModuleCandidate& candidate : pkcs11::module_candidates(ENGINE_PKCS11_ID, {}, 0))
    EXPECT_NE(candidate.path, "lib/mod.so");
  EXPECT_TRUE(logged("TokenModule6: lib/mod.so: not an absolute path, not loaded"));
  restart_core();
  EXPECT_NE(core_ctrl(ENGINE_PKCS11_ID, CTRL_LOAD_STATUS), 0);
  EXPECT_NE(core_ctrl(ENGINE_PKCS11_EXT, CTRL_LOAD_STATUS), 0);
  engines::set_engine_log_sink(nullptr);
  unsetenv("XDG_CONFIG_HOME");
  std::filesystem::current_path(previous);
  restart_core();
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
