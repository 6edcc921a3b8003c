#include <gtest/gtest.h>

#include "settings/config.h"
#include "tests/unit/support/temp_config_home.h"
#include "tests/unit/ui/ui_test_util.h"
#include "ui/backends/scripted/scripted_backend.h"
#include "ui/edit_dlg.h"

using namespace ui;

namespace {

constexpr int kList = 205, kAdd = 206, kRename = 221, kChange = 209, kDelete = 207, kReask = 204;

class KeyManagement : public ::testing::Test {
 protected:
  void SetUp() override {
    config.KeyIndex = 0;
    config.ReaskIndex = 9;
    ivanov_path = dir.Write("ivanov.key", ui_test::KeyFileText("IVANOV"));
    petrov_path = dir.Write("petrov.key", ui_test::KeyFileText("PETROV", "\n"));
    keys.Append("Ivanov", ivanov_path);
    keys.Append("Token", "12345678");
    keys.Append("Petrov", petrov_path);
  }
  void TearDown() override {
    EXPECT_TRUE(ui.Problems().empty()) << ui.Problems().front();
    EXPECT_TRUE(ui.AllScriptsUsed());
  }

  intptr_t Show(ScriptedBackend::Script script) {
    dialog.SetKeyList(&keys);
    ui.ExpectDialog(203, std::move(script));
    return dialog.DoModal(203, nullptr);
  }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (KeyListEntry* e = keys.head(); e != nullptr; e = e->next) names.push_back(e->name);
    return names;
  }

  TempConfigHome home;
  Config& config = Config::Instance();
  ui_test::ScopedLocale locale = ui_test::English();
  ui_test::TempDir dir;
  ScriptedBackend ui;
  KeyList keys;
  CEditDlgImp dialog;
  std::string ivanov_path, petrov_path;
};

}  // namespace

TEST_F(KeyManagement, ShowsTheListAndTheAskAgainChoice) {
  keys.Append("Hidden", "/x")->flag = 1;  // marked entries are not listed
  config.KeyIndex = 2;
  config.ReaskIndex = 3;
  EXPECT_EQ(Show([](ScriptedDialog& d) {
    EXPECT_EQ(d.Caption(), "Keys management");
    EXPECT_EQ(d.Items(kList), (std::vector<std::string>{"Ivanov", "Token", "Petrov"}));
    EXPECT_EQ(d.CurrentItem(kList), 2);
    EXPECT_EQ(d.Items(kReask), (std::vector<std::string>{"Never", "1 min.", "5 min.", "10 min.", "15 min.",
                                                         "20 min.", "25 min.", "30 min.", "60 min.", "Always"}));
    EXPECT_EQ(d.CurrentItem(kReask), 3);
    EXPECT_FALSE(d.IsVisible(490));
    d.Click(1);
  }), 1);
}

TEST_F(KeyManagement, SelectionShowsTheKeyFileUserIdInTheCaption) {
  Show([](ScriptedDialog& d) {
    d.Select(kList, 2);
    EXPECT_EQ(d.Caption(), "Keys management - PETROV");
    d.Select(kList, 1);  // a token entry has no key file to read
    EXPECT_EQ(d.Caption(), "Keys management - unknown");
    d.PressEscape();
  });
  EXPECT_EQ(dialog.SelectedEntry(), keys.At(1));
}

TEST_F(KeyManagement, AddProposesTheUserIdAsName) {
  ui.ExpectFileDialog(std::optional<std::string>(ivanov_path));
  ui.ExpectDialog(204, [](ScriptedDialog& d) {
    EXPECT_EQ(d.Caption(), "Enter key name");
    EXPECT_EQ(d.Text(210), "IVANOV");
    d.PressEnter();
  });
  Show([](ScriptedDialog& d) {
    d.Click(kAdd);
    EXPECT_EQ(d.Items(kList).back(), "IVANOV");
    d.Click(1);
  });
  ASSERT_EQ(keys.size(), 4u);
  EXPECT_EQ(keys.At(3)->name, "IVANOV");
  EXPECT_EQ(keys.At(3)->path, ivanov_path);
  EXPECT_EQ(ui.FileRequests().at(0).initial_path, "");
}

TEST_F(KeyManagement, AddOfAFileThatIsNoKeyProposesNothingAndAnEmptyNameAddsNothing) {
  ui.ExpectFileDialog(std::optional<std::string>(dir.Write("notes.txt", "hello\n")));
  ui.ExpectDialog(204, [](ScriptedDialog& d) {
    EXPECT_EQ(d.Text(210), "");
    d.PressEnter();
  });
  ui.ExpectFileDialog(std::nullopt);  // a cancelled file dialog asks no name
  Show([](ScriptedDialog& d) {
    d.Click(kAdd);
    d.Click(kAdd);
    d.Click(1);
  });
  EXPECT_EQ(keys.size(), 3u);
}

TEST_F(KeyManagement, RenameChangesOnlyTheNameAndOnlyWhenConfirmed) {
  config.KeyIndex = 2;
  ui.ExpectDialog(204, [](ScriptedDialog& d) {
    EXPECT_EQ(d.Text(210), "Petrov");
    d.SetText(210, "Petr");
    d.PressEnter();
  });
  ui.ExpectDialog(204, [](ScriptedDialog& d) {
    d.SetText(210, "ignored");
    d.PressEscape();
  });
  ui.ExpectDialog(204, [](ScriptedDialog& d) {
    d.SetText(210, "");
    d.PressEnter();
  });
  Show([](ScriptedDialog& d) {
    d.Click(kRename);
    EXPECT_EQ(d.Items(kList)[2], "Petr");
    d.Click(kRename);
    d.Click(kRename);
    d.Click(1);
  });
  EXPECT_EQ(Names(), (std::vector<std::string>{"Ivanov", "Token", "Petr"}));
  EXPECT_EQ(keys.At(2)->path, petrov_path);
}

TEST_F(KeyManagement, NamesAreKeptInTheAnsiPageAndOneItCannotHoldIsRefused) {
  VELIX_LINUX_FACT("the ANSI code page follows the locale variables (1251 under an English one)");
  config.KeyIndex = 2;
  ui.ExpectDialog(204, [](ScriptedDialog& d) {
    d.SetText(210, "Пётр");
    d.PressEnter();
  });
  ui.ExpectDialog(204, [](ScriptedDialog& d) {
    EXPECT_EQ(d.Text(210), "Пётр");
    d.SetText(210, "Пётр \u4E2D");
    d.PressEnter();
  });
  Show([](ScriptedDialog& d) {
    d.Click(kRename);
    EXPECT_EQ(d.Items(kList)[2], "Пётр");
    d.Click(kRename);
    EXPECT_EQ(d.Items(kList)[2], "Пётр");
    d.Click(1);
  });
  EXPECT_EQ(keys.At(2)->name, "\xCF\xB8\xF2\xF0");  // code page 1251, never "?"
  ASSERT_EQ(ui.message_boxes.size(), 1u);
  EXPECT_EQ(ui.message_boxes[0].text_id, 168);
  EXPECT_EQ(ui.message_boxes[0].text, "The text holds a character that the ANSI code page cannot represent");
}

TEST_F(KeyManagement, ChangeOnATokenEntryAsksForTheSerialNumber) {
  config.KeyIndex = 1;
  ui.ExpectDialog(204, [](ScriptedDialog& d) {
    EXPECT_EQ(d.Caption(), "Enter key serial number");
    EXPECT_EQ(d.Text(210), "12345678");
    d.SetText(210, "123456");
    d.PressEnter();
  });
  Show([](ScriptedDialog& d) {
    d.Click(kChange);
    d.Click(1);
  });
  EXPECT_EQ(keys.At(1)->path, "123456");
  EXPECT_EQ(keys.At(1)->name, "Token");
  EXPECT_TRUE(ui.FileRequests().empty());
}

TEST_F(KeyManagement, ChangeOnAKeyFileEntryOpensTheFileDialogOnItsPath) {
  const std::string moved = dir.Write("moved.key", ui_test::KeyFileText("IVANOV"));
  ui.ExpectFileDialog(std::optional<std::string>(moved));
  ui.ExpectFileDialog(std::nullopt);
  Show([](ScriptedDialog& d) {
    d.Click(kChange);
    d.Click(kChange);  // cancelled: the path stays
    d.Click(1);
  });
  ASSERT_EQ(ui.FileRequests().size(), 2u);
  EXPECT_EQ(ui.FileRequests()[0].initial_path, ivanov_path);
  EXPECT_EQ(ui.FileRequests()[1].initial_path, moved);
  EXPECT_EQ(keys.At(0)->path, moved);
}

TEST_F(KeyManagement, DeleteRemovesAtOnceAndCloseKeepsIt) {
  config.KeyIndex = 1;
  EXPECT_EQ(Show([](ScriptedDialog& d) {
    d.Select(kList, 1);
    d.Click(kDelete);
    EXPECT_EQ(d.Items(kList), (std::vector<std::string>{"Ivanov", "Petrov"}));
    EXPECT_EQ(d.CurrentItem(kList), 1);  // the line at KeyIndex after a refill
    d.Click(1);
  }), 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Ivanov", "Petrov"}));
  EXPECT_EQ(dialog.SelectedEntry(), nullptr);  // never the freed entry
  EXPECT_TRUE(ui.message_boxes.empty());
}

TEST_F(KeyManagement, WithAnEmptyListTheCommandsDoNothing) {
  keys.Clear();
  Show([](ScriptedDialog& d) {
    EXPECT_TRUE(d.Items(kList).empty());
    d.Click(kRename);
    d.Click(kChange);
    d.Click(kDelete);
    d.Click(6);
  });
  EXPECT_EQ(dialog.SelectedEntry(), nullptr);
  EXPECT_EQ(ui.Shown(), (std::vector<int>{203}));
}

TEST_F(KeyManagement, DoubleClickSelectsWithoutStoringAskAgain) {
  EXPECT_EQ(Show([](ScriptedDialog& d) {
    d.Select(kReask, 2);
    d.DoubleClick(kList, 2);
  }), 6);
  EXPECT_EQ(dialog.SelectedEntry(), keys.At(2));
  EXPECT_EQ(config.ReaskIndex, 9u);
}

TEST_F(KeyManagement, SelectStoresAskAgain) {
  EXPECT_EQ(Show([](ScriptedDialog& d) {
    d.Select(kList, 0);
    d.Select(kReask, 0);
    d.Click(6);
  }), 6);
  EXPECT_EQ(dialog.SelectedEntry(), keys.At(0));
  EXPECT_EQ(config.ReaskIndex, 0u);
}

TEST_F(KeyManagement, BusyCommandsIgnoreOtherCommands) {
  // A click on Delete while the file dialog of Add is open does nothing.
  ui.ExpectFileDialog([this](const OpenFileRequest&) -> std::optional<std::string> {
    ui.CurrentDialog()->Click(kDelete);
    ui.CurrentDialog()->Click(kRename);
    return std::nullopt;
  });
  Show([](ScriptedDialog& d) {
    d.Click(kAdd);
    d.Click(1);
  });
  EXPECT_EQ(keys.size(), 3u);
}

TEST_F(KeyManagement, WithoutAKeyListNothingIsFilled) {
  CEditDlgImp bare;
  ui.ExpectDialog(203, [](ScriptedDialog& d) {
    EXPECT_TRUE(d.Items(kList).empty());
    EXPECT_TRUE(d.Items(kReask).empty());
    d.PressEscape();
  });
  EXPECT_EQ(bare.DoModal(203, nullptr), 2);
}

TEST_F(KeyManagement, SpeaksRussian) {
  auto russian = ui_test::Russian();
  config.ReaskIndex = 1;
  Show([](ScriptedDialog& d) {
    EXPECT_EQ(d.Caption(), "Управление ключами");
    d.Select(kList, 0);
    EXPECT_EQ(d.Caption(), "Управление ключами - IVANOV");
    EXPECT_EQ(d.Items(kReask)[0], "Никогда");
    EXPECT_EQ(d.Items(kReask)[1], "1 мин.");
    EXPECT_EQ(d.Items(kReask)[9], "Всегда");
    d.PressEscape();
  });
}

// Names and paths the key list could not load back are refused with a message,
// and the list keeps what it had.
TEST_F(KeyManagement, RefusesNamesAndPathsTheKeyListCannotHold) {
  // One byte over the limit, well within what the file dialog hands back.
  const size_t folder = ivanov_path.size() - std::string("ivanov.key").size();
  const std::string long_path =
      dir.Write(std::string(kKeyPathMaxBytes + 1 - folder - 4, 'p') + ".key", ui_test::KeyFileText("LONG"));
  ASSERT_EQ(long_path.size(), kKeyPathMaxBytes + 1);
  ui.ExpectFileDialog(std::optional<std::string>(long_path));  // Add: the path is too long
  ui.ExpectFileDialog(std::optional<std::string>(ivanov_path));  // Add: the name is too long
  ui.ExpectDialog(204, [](ScriptedDialog& d) {
    d.SetText(210, std::string(kKeyNameMaxBytes + 1, 'n'));
    d.PressEnter();
  });
  ui.ExpectDialog(204, [](ScriptedDialog& d) {  // Rename to the longest name that fits
    d.SetText(210, std::string(kKeyNameMaxBytes, 'n'));
    d.PressEnter();
  });
  ui.ExpectDialog(204, [](ScriptedDialog& d) {  // Change of the token's serial: too long
    d.SetText(210, std::string(kKeyPathMaxBytes + 1, '1'));
    d.PressEnter();
  });
  Show([](ScriptedDialog& d) {
    d.Click(kAdd);
    d.Click(kAdd);
    d.Select(kList, 0);
    d.Click(kRename);
    d.Select(kList, 1);
    d.Click(kChange);
    d.Click(1);
  });
  EXPECT_EQ(Names(), (std::vector<std::string>{std::string(kKeyNameMaxBytes, 'n'), "Token", "Petrov"}));
  EXPECT_EQ(keys.At(1)->path, "12345678");
  std::vector<std::string> texts;
  for (const MessageBoxRequest& box : ui.message_boxes) texts.push_back(box.text);
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "The key file path is too long: at most 254 bytes can be stored.",
                       "The key name is too long: at most 254 bytes can be stored.",
                       "The key file path is too long: at most 254 bytes can be stored.",
                   }));
}

TEST_F(KeyManagement, WithoutAskAgainTheChoiceIsHiddenAndKeptAsStored) {
  // velixhost opens the key once per request, so it cannot honour the choice.
  dialog.SetOffersReask(false);
  config.ReaskIndex = 4;
  EXPECT_EQ(Show([](ScriptedDialog& d) {
    EXPECT_FALSE(d.IsVisible(489));
    EXPECT_FALSE(d.IsVisible(kReask));  // nobody can pick from it
    d.Select(kList, 0);
    d.Click(6);
  }), 6);
  EXPECT_EQ(dialog.SelectedEntry(), keys.At(0));
  EXPECT_EQ(config.ReaskIndex, 4u);
}
