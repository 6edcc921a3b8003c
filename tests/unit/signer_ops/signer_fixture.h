// A signer with a real key and the scripted dialog backend: the key is opened
// straight into the process's key handle with the "Never ask again" deadline,
// so operations reuse it without a dialog; tests that need the dialog queue a
// script for it.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/core.h"
#include "core/crypto.h"
#include "core/engine.h"
#include "core/keycert.h"
#include "engines/hardanchor.h"
#include "settings/config.h"
#include "signer/crypto_initializer.h"
#include "signer/signer.h"
#include "signer/signer_state.h"
#include "tests/unit/keyfiles/keycard_text.h"
#include "tests/support/fixture_key.h"
#include "tests/support/signed_document_check.h"
#include "tests/unit/support/signer_lock_holder.h"
#include "tests/unit/support/temp_config_home.h"
#include "ui/backends/scripted/scripted_backend.h"
#include "ui/language.h"
#include "ui/load_string.h"

namespace signer_checks {

using test_support::kFixtureKeyPath;
using test_support::kFixturePassphrase;
using test_support::kFixtureSerial;

// The process's open key: its handle and OpenSSL's view of its public half.
inline KeyHandle& OpenKey() { return CCryptoInitializer::Instance().key(); }

class SignerOps : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::InstallResourceStrings();
    Config& config = Config::Instance();
    config.language = 1033;
    ui::SetThreadUiLanguage(1033);
    config.useUtf8 = 0;
    config.VK = 0;  // the passphrase is typed into the dialog's own field
    config.KeyType = 0;
    config.eTokenKeySerial = 0;
    PacketCounter = 0;
    std::memset(CurrentUserName, 0, sizeof CurrentUserName);
  }

  void TearDown() override {
    CCryptoInitializer::Instance().CloseKey();
    ReaskDeadline = 0;
    EXPECT_TRUE(ui_.Problems().empty()) << ui_.Problems().front();
    EXPECT_TRUE(ui_.AllScriptsUsed());
  }

  // Opens the fixture key file (serial 12345) as the open key.
  void OpenFixtureKey() {
    KeyHardAnchor anchor;
    ASSERT_EQ(anchor.OpenKeyFile(ENGINE_BUILTIN, kFixtureKeyPath.c_str(), kFixturePassphrase, &OpenKey()), 0);
    KeptOpen();
  }

  // Generates a 512-bit key from a key card with this serial as the open key.
  void OpenGeneratedKey(uint32_t serial) {
    KeyHandle public_key{};
    const std::string card = testing_keycard::make_key_card("Test User", std::to_string(serial));
    ASSERT_EQ(core_generate_keys(ENGINE_BUILTIN, card.c_str(), -1, &OpenKey(), &public_key, 512), 0);
    core_close_key(&public_key);
    KeptOpen();
  }

  void SetUserName(const char* name) {
    std::memset(CurrentUserName, 0, sizeof CurrentUserName);
    std::strcpy(CurrentUserName, name);
  }

  // Puts the fixture key file into the key list as the key chosen last, with
  // "Never" ask again stored (without tokens the dialog hides that list and
  // keeps the stored choice).
  void ListFixtureKey() {
    Config& config = Config::Instance();
    config.keyList.Clear();
    config.keyList.Append("fixture", kFixtureKeyPath);
    config.KeyIndex = 0;
    config.ReaskIndex = 0;
    config.keyList.Save();
    config.Save();
  }

  // The authorization dialog's file page: the passphrase typed, OK.
  void ExpectPassphraseDialog() {
    ui_.ExpectDialog(201, [](ui::ScriptedDialog& d) {
      d.SetText(201, kFixturePassphrase);
      d.Click(1);
    });
  }

  // The open key's modulus and exponent (the rest of its certificate wiped).
  KeyCertRecord PublicRecord() {
    KeyCertRecord cert{};
    EXPECT_EQ(core_engine(OpenKey().engine_id)->export_secret_key(&cert, &OpenKey()), 0);
    KeyCertRecord pub{};
    std::memcpy(pub.n, cert.n, sizeof pub.n);
    std::memcpy(pub.e, cert.e, sizeof pub.e);
    secure_wipe(&cert, sizeof cert);
    return pub;
  }

  // A signed document's text, after checking that its signature verifies
  // under the open key and names the serial.
  std::string VerifiedText(const std::string& document, uint32_t serial) {
    EXPECT_TRUE(test_support::VerifiesWithOpenSsl(document, PublicRecord()));
    test_support::SignedDocument doc;
    std::string why;
    EXPECT_TRUE(test_support::parse_signed_document(document, &doc, &why)) << why;
    EXPECT_EQ(doc.serial, serial);
    return doc.text;
  }

  // The AUTH digest of a text under the open key's serial, computed independently.
  static std::string Auth(const std::string& text, uint32_t serial) {
    return test_support::auth_digest(Config::Instance().digestPrefix, Config::Instance().KeyType, text, serial);
  }

  std::u16string Sign(const std::u16string& message) {
    std::u16string result = u"untouched";
    EXPECT_EQ(signer_.SignMessage(message, &result), kStatusOk);
    return result;
  }

  TempConfigHome home_;
  ScopedEnv lang_{"LANG", "en_US.UTF-8"};
  ScopedEnv lc_all_{"LC_ALL", nullptr};
  ScopedEnv lc_ctype_{"LC_CTYPE", nullptr};
  ui::ScriptedBackend ui_;
  CSigner signer_;

 private:
  void KeptOpen() { ReaskDeadline = -1; }
};

}  // namespace signer_checks
