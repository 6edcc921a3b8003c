// What the authorization dialog tests share: a temporary registry holding the
// settings the dialog reloads when it opens, English texts, the scripted
// dialog backend, and the debug lines the dialog writes.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/config.h"
#include "tests/unit/support/temp_config_home.h"
#include "tests/unit/ui/ui_test_util.h"
#include "ui/backends/scripted/scripted_backend.h"
#include "ui/debug_log.h"
#include "ui/sign_dlg.h"

namespace sign_dialog_test {

inline std::vector<std::string>& DebugLines() {
  static std::vector<std::string> lines;
  return lines;
}

inline void RecordDebugLine(const std::string& line) { DebugLines().push_back(line); }

inline std::string FixtureKeyPath() { return std::string(VELIX_SOURCE_DIR) + "/tests/fixtures/secret.key"; }
constexpr char kFixturePassphrase[] = "velix-test";

class SignDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config.keyList.Clear();
    config.KeyIndex = 0;
    config.ReaskIndex = 9;
    config.KeyType = 0;
    config.eTokenKeySerial = 0;
    config.tokenName.clear();
    config.VK = 0;
    config.language = 1033;
    DebugLines().clear();
    ui::SetDebugLogSink(&RecordDebugLine);
  }
  void TearDown() override {
    ui::SetDebugLogSink(nullptr);
    EXPECT_TRUE(ui.Problems().empty()) << ui.Problems().front();
    EXPECT_TRUE(ui.AllScriptsUsed());
  }

  // The dialog reloads the settings from the registry when it opens.
  void Store() {
    config.keyList.Save();
    config.Save();
  }

  intptr_t Show(ui::CSignDlgImp& dialog, ui::ScriptedBackend::Script script) {
    ui.ExpectDialog(ui::CSignDlg::kTemplateId, std::move(script));
    return dialog.DoModal(ui::CSignDlg::kTemplateId, nullptr);
  }

  // The settings as another process would read them now.
  static Config Stored() { return Config(); }

  TempConfigHome home;
  ui_test::ScopedLocale locale = ui_test::English();
  ui_test::TempDir dir;
  ui::ScriptedBackend ui;
  Config& config = Config::Instance();
};

}  // namespace sign_dialog_test
