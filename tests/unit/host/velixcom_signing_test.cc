// signMessage with a real key: the user opens the key file in the
// authorization dialog (scripted here) and the document verifies on its own.
#include <gtest/gtest.h>

#include <QJsonObject>

#include "host/velixcom_handler.h"
#include "platform/codepage.h"
#include "settings/config.h"
#include "signer/crypto_initializer.h"
#include "tests/support/fixture_key.h"
#include "tests/unit/support/temp_config_home.h"
#include "ui/backends/scripted/scripted_backend.h"
#include "ui/load_string.h"

namespace {

using test_support::text_signed_by_fixture;

class VelixcomSigning : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::InstallResourceStrings();
    Config& config = Config::Instance();
    config.keyList.Clear();
    config.keyList.Append("fixture", test_support::kFixtureKeyPath);
    config.KeyIndex = 0;
    config.VK = 0;
    config.ReaskIndex = 2;  // ask again in 5 minutes; without tokens the dialog keeps the stored choice
    config.keyList.Save();
    config.Save();
  }

  void TearDown() override {
    CCryptoInitializer::Instance().CloseKey();
    EXPECT_TRUE(dialogs_.Problems().empty()) << dialogs_.Problems().front();
    EXPECT_TRUE(dialogs_.AllScriptsUsed());
  }

  void ExpectPassphraseTyped() {
    dialogs_.ExpectDialog(201, [](ui::ScriptedDialog& d) {
      d.SetText(201, test_support::kFixturePassphrase);
      d.Click(1);
    });
  }

  std::string Sign(const QJsonObject& args) {
    handler_.handle("signMessage", args);
    EXPECT_EQ(handler_.error(), 0);
    EXPECT_EQ(handler_.longTextKey(), "value");
    return handler_.longText();
  }

  ui::ScriptedBackend dialogs_;
  VelixcomHandler handler_;
};

TEST_F(VelixcomSigning, Utf8MessageSignedWithTheOpenedKeyWhichTheNextRequestReuses) {
  ExpectPassphraseTyped();
  const std::string text = text_signed_by_fixture(
      Sign({{"value", QString::fromUtf8("оплата 10")}, {"useStoredKey", true}, {"useUTF8", true}}));
  EXPECT_EQ(text.rfind("оплата 10\r\n", 0), 0u) << text;  // UTF-8 bytes, no header

  // Without "language" the header is Russian; in ANSI mode the document is in code page 1251.
  ScopedEnv locale("LANG", "C.UTF-8");
  const std::string again = text_signed_by_fixture(platform::convert_code_page(
      Sign({{"value", "pay 11"}, {"useStoredKey", true}, {"useOperator", true}, {"session", "S1"}}),
      platform::kCodePageUtf8, 1251).value_or(""));
  EXPECT_NE(again.find("\r\npay 11\r\n"), std::string::npos) << again;
  EXPECT_EQ(again.rfind("\xD1\xC5\xD1\xD1\xC8\xDF: S1 ", 0), 0u) << again;  // "СЕССИЯ: S1"
  EXPECT_EQ(dialogs_.Shown().size(), 1u);

  handler_.handle("error", {});
  EXPECT_EQ(handler_.result().value("error").toInt(-1), 0);
}

TEST_F(VelixcomSigning, CancelledDialogAnswersAnEmptyValueAndRecordsError102) {
  dialogs_.ExpectDialog(201, [](ui::ScriptedDialog& d) { d.PressEscape(); });
  EXPECT_EQ(Sign({{"value", "pay 10"}}), "");
  handler_.handle("error", {});
  EXPECT_EQ(handler_.result().value("error").toInt(-1), 102);
}

}  // namespace
