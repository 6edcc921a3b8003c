// A script's session with velixcom, through the COM client and the scripted
// dialogs: the user opens a file key once, later calls reuse it until Reset,
// and the library unloads when the last object is gone.
#include <gtest/gtest.h>

#include <string>

#include "comserver/dialog_backend_export.h"
#include "core/core.h"
#include "server_library.h"
#include "settings/config.h"
#include "tests/support/fixture_key.h"
#include "tools/com_client/com_client.h"
#include "ui/backends/scripted/scripted_backend.h"
#include "ui/language.h"

namespace {

using test_support::kFixtureKeyPath;
using test_support::kFixturePassphrase;
using test_support::text_signed_by_fixture;

constexpr int kAskAgainIn5Minutes = 2;

// The header names the user ID up to its first space.
constexpr const char* kCustomerHeader = "CUSTOMER: Test                \r\n";

class ComScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    core_init();  // for reading the fixture key here, beside the server
    {
      ServerLibrary lib;
      ASSERT_NE(lib.register_server, nullptr);
      ASSERT_EQ(lib.register_server(), S_OK);
    }
    Config config;  // the user's key list, as the key management dialog leaves it
    config.keyList.Append("fixture", kFixtureKeyPath);
    config.KeyIndex = 0;
    config.VK = 0;  // the passphrase is typed into the dialog's own field
    config.ReaskIndex = kAskAgainIn5Minutes;  // without tokens the dialog keeps the stored choice
    config.keyList.Save();
    config.Save();

    ASSERT_EQ(server_.Load("velixcom2.Signer2"), S_OK);
    use_dialogs_ = reinterpret_cast<VelixcomUseDialogBackendFunction>(
        platform::library_symbol(library_.handle, kVelixcomUseDialogBackend));
    ASSERT_NE(use_dialogs_, nullptr);
    use_dialogs_(&dialogs_, &dialogs_);
    ui::SetThreadUiLanguage(1033);
  }

  void TearDown() override {
    core_done();
    if (use_dialogs_ != nullptr) use_dialogs_(nullptr, nullptr);
    EXPECT_TRUE(dialogs_.Problems().empty()) << dialogs_.Problems().front();
    EXPECT_TRUE(dialogs_.AllScriptsUsed());
  }

  IDispatch* Create() {
    IDispatch* object = nullptr;
    EXPECT_EQ(server_.Create(&object), S_OK);
    if (object != nullptr) {
      EXPECT_EQ(com_client::put(object, "Language", "en").hr, S_OK);
    }
    return object;
  }

  void ExpectPassphraseTyped() {
    dialogs_.ExpectDialog(201, [](ui::ScriptedDialog& d) {
      d.SetText(201, kFixturePassphrase);
      d.Click(1);
    });
  }

  static std::string Sign(IDispatch* object, const std::string& message) {
    const com_client::CallResult signed_text = com_client::call(object, "SignMessage", {message});
    EXPECT_EQ(signed_text.hr, S_OK);
    return signed_text.text;
  }

  static std::string Error(IDispatch* object) { return com_client::get(object, "Error").text; }

  TempConfigHome home_;
  ui::ScriptedBackend dialogs_;
  com_client::LoadedServer server_;
  ServerLibrary library_;  // the same loaded library, for its dialog export
  VelixcomUseDialogBackendFunction use_dialogs_ = nullptr;
};

TEST_F(ComScenario, FileKeyOpenedOnceServesEveryObjectInsideTheReaskIntervalUntilReset) {
  IDispatch* first = Create();
  ASSERT_NE(first, nullptr);
  ASSERT_EQ(com_client::put(first, "Customer", "1").hr, S_OK);

  ExpectPassphraseTyped();
  const std::string text = text_signed_by_fixture(Sign(first, "pay 10"));
  EXPECT_EQ(text.rfind(kCustomerHeader, 0), 0u) << text;
  EXPECT_NE(text.find("\r\npay 10\r\n"), std::string::npos) << text;
  EXPECT_EQ(Error(first), "0");
  EXPECT_EQ(dialogs_.Shown().size(), 1u);

  // Inside the re-ask interval: no dialog, for this object or a new one.
  EXPECT_NE(text_signed_by_fixture(Sign(first, "pay 11")).find("pay 11"), std::string::npos);
  IDispatch* second = Create();
  ASSERT_NE(second, nullptr);
  const std::string other = text_signed_by_fixture(Sign(second, "pay 12"));  // Customer is per object
  EXPECT_EQ(other.rfind("pay 12\r\n", 0), 0u) << other;
  EXPECT_EQ(dialogs_.Shown().size(), 1u);

  // Reset on one object forgets the key for all: the next signature asks again.
  EXPECT_EQ(com_client::call(second, "Reset", {}).hr, S_OK);
  ExpectPassphraseTyped();
  EXPECT_NE(text_signed_by_fixture(Sign(first, "pay 13")).find("pay 13"), std::string::npos);
  EXPECT_EQ(dialogs_.Shown().size(), 2u);

  first->Release();
  EXPECT_EQ(server_.CanUnloadNow(), S_FALSE);
  second->Release();
  EXPECT_EQ(server_.CanUnloadNow(), S_OK);
}

TEST_F(ComScenario, CancelledDialogLeavesAnEmptyResultAndError102OnThatObjectOnly) {
  IDispatch* first = Create();
  IDispatch* second = Create();
  ASSERT_NE(second, nullptr);
  dialogs_.ExpectDialog(201, [](ui::ScriptedDialog& d) { d.PressEscape(); });
  EXPECT_EQ(Sign(second, "pay 13"), "");
  EXPECT_EQ(Error(second), "102");
  EXPECT_EQ(Error(first), "0");
  EXPECT_TRUE(dialogs_.message_boxes.empty());
  first->Release();
  second->Release();
  EXPECT_EQ(server_.CanUnloadNow(), S_OK);
}

TEST_F(ComScenario, WrongPassphraseIsReportedAndNothingIsSigned) {
  IDispatch* object = Create();
  ASSERT_NE(object, nullptr);
  dialogs_.ExpectDialog(201, [](ui::ScriptedDialog& d) {
    d.SetText(201, "not the passphrase");
    d.Click(1);
  });
  EXPECT_EQ(Sign(object, "pay 10"), "");
  EXPECT_EQ(Error(object), std::to_string(1000 - CORE_E_PASSPHRASE));
  ASSERT_EQ(dialogs_.message_boxes.size(), 1u);
  EXPECT_EQ(dialogs_.message_boxes[0].caption, "Key loading error");
  object->Release();
  EXPECT_EQ(server_.CanUnloadNow(), S_OK);
}

}  // namespace
