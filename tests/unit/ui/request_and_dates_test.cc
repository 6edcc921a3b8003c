#include <gtest/gtest.h>

#include "tests/unit/ui/ui_test_util.h"
#include "ui/backends/scripted/scripted_backend.h"
#include "ui/request_dlg.h"
#include "ui/state_dlg.h"

using namespace ui;

namespace {

class Dialogs : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_TRUE(ui.Problems().empty()) << ui.Problems().front(); }
  ScriptedBackend ui;
  ui_test::ScopedLocale locale = ui_test::English();
};

}  // namespace

TEST_F(Dialogs, AskTextShowsTheInitialTextAndReturnsTheAnswer) {
  char buffer[16] = "IVANOV";
  ui.ExpectDialog(204, [](ScriptedDialog& d) {
    EXPECT_EQ(d.Caption(), "Enter key name");
    EXPECT_EQ(d.Text(210), "IVANOV");
    d.SetText(210, "PETROV");
    d.PressEnter();
  });
  EXPECT_TRUE(AskText("Enter key name", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "PETROV");
}

TEST_F(Dialogs, AskTextCutsAtTheCapacityAndEmptiesOnCancel) {
  char buffer[6] = "";
  ui.ExpectDialog(204, [](ScriptedDialog& d) {
    EXPECT_EQ(d.Text(210), "");
    d.SetText(210, "1234567890");
    d.Click(1);
  });
  EXPECT_TRUE(AskText("t", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "12345");

  ui.ExpectDialog(204, [](ScriptedDialog& d) {
    d.SetText(210, "typed");
    d.PressEscape();
  });
  EXPECT_FALSE(AskText("t", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "");

  ui.ExpectDialog(204, [](ScriptedDialog& d) { d.CloseWindow(); });
  EXPECT_FALSE(AskText("t", buffer, sizeof buffer));
}

TEST_F(Dialogs, ChooseKeyFileAsksWithTheKeyFiltersAndTheCurrentName) {
  char path[260] = "/home/user/keys/secret.key";
  ui.ExpectFileDialog(std::optional<std::string>("/home/user/other/secret.key"));
  EXPECT_TRUE(ChooseKeyFile(path, sizeof path));
  EXPECT_STREQ(path, "/home/user/other/secret.key");
  ASSERT_EQ(ui.FileRequests().size(), 1u);
  const OpenFileRequest& request = ui.FileRequests()[0];
  EXPECT_EQ(request.title, "Choose key file");
  EXPECT_EQ(request.initial_path, "/home/user/keys/secret.key");
  EXPECT_EQ(request.filter_index, 0);
  EXPECT_TRUE(request.file_must_exist);
  ASSERT_EQ(request.filters.size(), 3u);
  EXPECT_EQ(request.filters[0].description, "Private key (secret.key)");
  EXPECT_EQ(request.filters[0].pattern, "secret.key");
  EXPECT_EQ(request.filters[1].pattern, "*.key");
  EXPECT_EQ(request.filters[2].description, "All files (*.*)");

  ui.ExpectFileDialog(std::nullopt);
  EXPECT_FALSE(ChooseKeyFile(path, sizeof path));
  EXPECT_STREQ(path, "/home/user/other/secret.key");

  // A path longer than the buffer is refused rather than cut.
  char small[8] = "";
  ui.ExpectFileDialog(std::optional<std::string>("/a/long/path.key"));
  EXPECT_FALSE(ChooseKeyFile(small, sizeof small));
  EXPECT_STREQ(small, "");
}

TEST_F(Dialogs, ChooseKeyFileTalksRussianInRussian) {
  auto russian = ui_test::Russian();
  char path[260] = "";
  ui.ExpectFileDialog(std::nullopt);
  ChooseKeyFile(path, sizeof path);
  ASSERT_EQ(ui.FileRequests().size(), 1u);
  EXPECT_EQ(ui.FileRequests()[0].title, "Выбор файла ключа");
  EXPECT_EQ(ui.FileRequests()[0].filters.size(), 3u);
}

TEST(FileFilters, SplitAtHashesAndStopAtAnEmptyDescription) {
  const auto filters = ParseFileFilters("A#*.a#B#*.b##C#*.c#");
  ASSERT_EQ(filters.size(), 2u);
  EXPECT_EQ(filters[1].description, "B");
  EXPECT_EQ(filters[1].pattern, "*.b");
  EXPECT_TRUE(ParseFileFilters("").empty());
  EXPECT_TRUE(ParseFileFilters("lonely#").empty());
}

TEST_F(Dialogs, StatementDatesAreReturnedAsShown) {
  ui.today_text = "09.12.2026";
  CStateDlgImp untouched;
  ui.ExpectDialog(205, [](ScriptedDialog& d) {
    EXPECT_EQ(d.Caption(), "Statement request");
    d.PressEnter();
  });
  EXPECT_EQ(untouched.DoModal(205, nullptr), 1);
  EXPECT_EQ(untouched.FromDate(), "09.12.2026");
  EXPECT_EQ(untouched.ToDate(), "09.12.2026");

  CStateDlgImp reversed;  // the end before the start is not checked
  ui.ExpectDialog(205, [](ScriptedDialog& d) {
    d.SetText(211, "31.12.2026");
    d.SetText(213, "1.1.2026");
    d.Click(1);
  });
  EXPECT_EQ(reversed.DoModal(205, nullptr), 1);
  EXPECT_EQ(reversed.FromDate(), "31.12.2026");
  EXPECT_EQ(reversed.ToDate(), "1.1.2026");
}

TEST_F(Dialogs, StatementDatesAreEmptyAfterCancelOrEsc) {
  for (bool esc : {false, true}) {
    CStateDlgImp dates;
    ui.ExpectDialog(205, [esc](ScriptedDialog& d) {
      if (esc) d.PressEscape();
      else d.Click(2);
    });
    EXPECT_EQ(dates.DoModal(205, nullptr), 2);
    EXPECT_EQ(dates.FromDate(), "");
    EXPECT_EQ(dates.ToDate(), "");
  }
}

TEST_F(Dialogs, RussianStatementDialog) {
  auto russian = ui_test::Russian();
  CStateDlgImp dates;
  ui.ExpectDialog(205, [](ScriptedDialog& d) {
    EXPECT_EQ(d.Caption(), "Запрос на выписку");
    d.PressEscape();
  });
  dates.DoModal(205, nullptr);
}
