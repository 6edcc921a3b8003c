// Token engines over the forwarding vendor library: registration, tokens,
// PIN, key listing and library loading.
#include <cstring>
#include <optional>
#include <string>

#include "token_fixture.h"

namespace {

constexpr int16_t kTokenEngines[] = {ENGINE_PKCS11, ENGINE_PKCS11_EXT, ENGINE_PKCS11_ID};

class TokenEngine : public TokenEngineTest {};

TEST_F(TokenEngine, EveryEngineLoadsItsLibraryAndSeesBothSoftHsmTokens) {
  for (int16_t engine : kTokenEngines) {
    EXPECT_EQ(core_ctrl(engine, CTRL_READY), 1) << engine;
    EXPECT_EQ(core_ctrl(engine, CTRL_LOAD_STATUS), 0) << engine;
    // The initialised token and SoftHSM2's spare uninitialised one.
    EXPECT_EQ(core_ctrl(engine, CTRL_TOKEN_COUNT), 2) << engine;
  }
  // One C_Initialize per engine, through the one forwarding library.
  EXPECT_EQ(state_->initialize_calls, 3);
}

TEST_F(TokenEngine, TokenNameIsModelBackslashLabelWithoutTrailingBlanks) {
  char name[64];
  std::memset(name, 'x', sizeof name);
  const int length = core_ctrl(ENGINE_PKCS11, CTRL_TOKEN_NAME, 0, name, int{sizeof name});
  EXPECT_STREQ(name, "SoftHSM v2\\MyToken");
  EXPECT_EQ(length, static_cast<int>(std::strlen("SoftHSM v2\\MyToken")));

  // Cut like snprintf: size - 1 characters and the terminator.
  char small[8];
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_ID, CTRL_TOKEN_NAME, 0, small, int{sizeof small}), 7);
  EXPECT_STREQ(small, "SoftHSM");

  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_TOKEN_NAME, 2, name, int{sizeof name}), -1);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_TOKEN_NAME, -1, name, int{sizeof name}), -1);
}

TEST_F(TokenEngine, SelectingATokenThatIsNotThereFailsLaterOperations) {
  use_token(ENGINE_PKCS11);
  ASSERT_EQ(generate(ENGINE_PKCS11, 42, "Ann"), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_SELECT_TOKEN, -1), -1);
  ASSERT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_SELECT_TOKEN, 3), 0);
  KeyHandle key{};
  EXPECT_EQ(core_open_secret_key_by_serial(ENGINE_PKCS11, 42, &key), CORE_E_NOT_READY);
  EXPECT_EQ(core_open_public_key_by_serial(ENGINE_PKCS11, 42, &key), CORE_E_NOT_READY);
  ASSERT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_SELECT_TOKEN, 0), 0);
  EXPECT_EQ(core_open_secret_key_by_serial(ENGINE_PKCS11, 42, &key), 0);
  EXPECT_STREQ(key.user_id, "Ann");
}

TEST_F(TokenEngine, ExtendedEngineKeepsFifteenCharactersOfThePin) {
  use_token(ENGINE_PKCS11);
  ASSERT_EQ(generate(ENGINE_PKCS11, 7, "Bob"), 0);
  const std::string long_pin = std::string(kTokenPin) + "abcde";  // 20 characters
  use_token(ENGINE_PKCS11_EXT, long_pin.c_str());
  KeyHandle keys[4]{};
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_LIST_SECRET_KEYS, keys, 4), 1);
  EXPECT_EQ(keys[0].serial, 7u);
  // The other engines keep all 20 characters, which the token refuses.
  use_token(ENGINE_PKCS11, long_pin.c_str());
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LIST_SECRET_KEYS, keys, 4), CORE_E_PASSPHRASE);
}

TEST_F(TokenEngine, WrongPinIsAPassphraseErrorAndLeavesNoSessionBehind) {
  use_token(ENGINE_PKCS11);
  ASSERT_EQ(generate(ENGINE_PKCS11, 9, "Cid"), 0);
  use_token(ENGINE_PKCS11, "wrong");
  KeyHandle keys[4]{};
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LIST_SECRET_KEYS, keys, 4), CORE_E_PASSPHRASE);
  KeyHandle key{};
  EXPECT_EQ(core_open_secret_key_by_serial(ENGINE_PKCS11, 9, &key), CORE_E_PASSPHRASE);
  key.kind = KEY_KIND_SECRET;
  key.serial = 9;
  uint8_t signature[256];
  const auto digest_info = md5_digest_info(1);
  EXPECT_EQ(g_engine_table[ENGINE_PKCS11].sign_digest(digest_info.data(), 34, signature, 256, &key),
            CORE_E_PASSPHRASE);
  // An empty PIN is no PIN at all.
  use_token(ENGINE_PKCS11, "");
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LIST_SECRET_KEYS, keys, 4), CORE_E_PASSPHRASE);
  EXPECT_GT(state_->sessions_opened, 3);
}

TEST_F(TokenEngine, ListingTakesOnlyMorvaLabelsAndParsesTheirSerials) {
  token_->generate_pair("morva17", "A user ID longer than twenty-three");
  token_->generate_pair("other", "Not ours");
  token_->generate_pair("morva1x", "Odd label");
  for (int16_t engine : {ENGINE_PKCS11, ENGINE_PKCS11_ID}) {
    SCOPED_TRACE(engine);
    use_token(engine);
    for (int command : {CTRL_LIST_SECRET_KEYS, CTRL_LIST_PUBLIC_KEYS}) {
      KeyHandle keys[8]{};
      ASSERT_EQ(core_ctrl(engine, command, keys, 8), 2);
      const KeyHandle* k17 = keys[0].serial == 17 ? &keys[0] : &keys[1];
      const KeyHandle* k0 = keys[0].serial == 17 ? &keys[1] : &keys[0];
      EXPECT_EQ(k17->serial, 17u);
      EXPECT_STREQ(k17->user_id, "A user ID longer than t");  // cut to 23
      EXPECT_EQ(k0->serial, 0u);
      EXPECT_STREQ(k0->user_id, "Odd label");
    }
  }
}

TEST_F(TokenEngine, ListingStopsAtTheCapacity) {
  use_token(ENGINE_PKCS11);
  for (uint32_t serial = 1; serial <= 66; ++serial)
    ASSERT_EQ(import_public(ENGINE_PKCS11, serial, "Many", 128), 0) << serial;
  KeyHandle keys[65]{};
  keys[64].serial = 0xdeadbeef;
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LIST_PUBLIC_KEYS, keys, 64), 64);
  EXPECT_EQ(keys[64].serial, 0xdeadbeefu);
  KeyHandle all[80]{};
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LIST_PUBLIC_KEYS, all, 80), 66);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LIST_SECRET_KEYS, all, 80), 0);
}

TEST_F(TokenEngine, UnknownCommandsAreNotSupported) {
  for (int16_t engine : kTokenEngines) {
    for (int command : {int{CTRL_EXPORT_PEM}, int{CTRL_KEY_BITS}, 12, 23, 99})
      EXPECT_EQ(core_ctrl(engine, command), CORE_E_NOT_SUPPORTED) << engine << " " << command;
  }
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_INIT_TOKEN, 0), CORE_E_NOT_SUPPORTED);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_ID, CTRL_INIT_TOKEN, 0), CORE_E_NOT_SUPPORTED);
  int value = 0;
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_ID, CTRL_TOKEN_INFO_EXT, &value), CORE_E_NOT_SUPPORTED);
}

TEST_F(TokenEngine, LoadLibraryReplacesTheLibraryAndReportsItsStatus) {
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LOAD_LIBRARY, ""), -1);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LOAD_LIBRARY, nullptr), -1);
  {
    std::string path = "no-such-vendor.dll";
    EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LOAD_LIBRARY, path.c_str()), 0);
    path.assign(path.size(), '#');  // the engine keeps its own copy of the name
  }
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LOAD_STATUS), 1);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_TOKEN_COUNT), CORE_E_NOT_READY);
  // The commands that prepare the next load still work without a library.
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_SET_PIN, kTokenPin), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_SELECT_TOKEN, 0), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LIST_SECRET_KEYS, nullptr, 0), CORE_E_NOT_READY);

  // A library without the PKCS#11 entry point.
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LOAD_LIBRARY, "crypto.dll"), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LOAD_STATUS), 2);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LOAD_LIBRARY, "jcPKCS11-2.dll"), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LOAD_STATUS), 0);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_TOKEN_COUNT), 2);
}

TEST_F(TokenEngine, FailingInitialisationIsStatusFour) {
  core_done();
  state_->fail_initialize = true;
  core_init();
  // The standard engine tries only the library it used before the reset;
  // the extended engine tries both of its names, and the second is missing.
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LOAD_STATUS), 4);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_EXT, CTRL_LOAD_STATUS), 1);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_ID, CTRL_LOAD_STATUS), 4);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_ID, CTRL_TOKEN_COUNT), CORE_E_NOT_READY);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_ID, CTRL_SET_PIN, kTokenPin), CORE_E_NOT_READY);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_ID, CTRL_LOAD_LIBRARY, "jcPKCS11-2.dll"), CORE_E_NOT_READY);
  state_->fail_initialize = false;
}

TEST_F(TokenEngine, FlaggedLibrariesAreInitialisedAgainWhenTheyForget) {
  state_->forgot_initialization = true;
  // Flags 0 (the ID engine's library): the slot list stays unreadable.
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_ID, CTRL_TOKEN_COUNT), 0);
  // Flags 4: C_Initialize again, then the count.
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_TOKEN_COUNT), 2);
  EXPECT_FALSE(state_->forgot_initialization);
}

}  // namespace

namespace {

// Sets LC_ALL for one test (the ANSI code page follows it) and restores it.
class ScopedLcAll {
 public:
  explicit ScopedLcAll(const char* value) {
    if (const char* old = getenv("LC_ALL")) old_ = old;
    setenv("LC_ALL", value, 1);
  }
  ~ScopedLcAll() {
    if (old_) setenv("LC_ALL", old_->c_str(), 1);
    else unsetenv("LC_ALL");
  }

 private:
  std::optional<std::string> old_;
};

}  // namespace

TEST_F(TokenEngine, IdEngineLogsInWithTheAnsiFormOfAUtf8Pin) {
  use_token(ENGINE_PKCS11);
  ASSERT_EQ(generate(ENGINE_PKCS11, 5, "Dan"), 0);
  const std::string ansi_pin = "\xEF\xE0\xF0\xEE\xEB\xFC";  // "пароль" in code page 1251
  token_->with_session([&](CK_FUNCTION_LIST_PTR p11, CK_SESSION_HANDLE session) {
    ASSERT_EQ(p11->C_SetPIN(session, reinterpret_cast<CK_UTF8CHAR_PTR>(const_cast<char*>(kTokenPin)),
                            std::strlen(kTokenPin),
                            reinterpret_cast<CK_UTF8CHAR_PTR>(const_cast<char*>(ansi_pin.data())),
                            ansi_pin.size()),
              CKR_OK);
  });
  ScopedLcAll russian("ru_RU.UTF-8");
  const char utf8_pin[] = "пароль";
  KeyHandle keys[4]{};
  use_token(ENGINE_PKCS11_ID, utf8_pin);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11_ID, CTRL_LIST_SECRET_KEYS, keys, 4), 1);
  // The other engines hand the PIN on as given: its UTF-8 bytes are not the token's PIN.
  use_token(ENGINE_PKCS11, utf8_pin);
  EXPECT_EQ(core_ctrl(ENGINE_PKCS11, CTRL_LIST_SECRET_KEYS, keys, 4), CORE_E_PASSPHRASE);
}
