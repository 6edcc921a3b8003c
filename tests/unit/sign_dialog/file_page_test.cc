// The authorization dialog without any token: the file page alone.
#include "tests/unit/sign_dialog/sign_dialog_fixture.h"

using namespace ui;
using sign_dialog_test::DebugLines;

namespace {

constexpr int kTab = 223, kKeyLabel = 224, kKeyList = 202, kSettings = 203, kPassphrase = 201,
              kReaskLabel = 489, kReask = 204, kFileIndicator = 282, kTokenIndicator = 283;
constexpr int kTokenControls[] = {226, 227, 229, 228, 232, 492, 493};

class FilePage : public sign_dialog_test::SignDialogTest {
 protected:
  void SetUp() override {
    SignDialogTest::SetUp();
    ivanov = dir.Write("ivanov.key", ui_test::KeyFileText("IVANOV"));
    petrov = dir.Write("petrov.key", ui_test::KeyFileText("PETROV"));
    config.keyList.Append("Ivanov", ivanov);
    config.keyList.Append("Token key", "777");
    config.keyList.Append("Petrov", petrov);
  }

  std::string ivanov, petrov;
};

}  // namespace

TEST_F(FilePage, WithoutTokensTheListAndTabsGiveWayToTheKeyName) {
  config.KeyIndex = 2;
  config.KeyType = 1;  // a token page chosen earlier cannot be shown now
  Store();
  CSignDlgImp dialog("1.0.0.111");
  Show(dialog, [&](ScriptedDialog& d) {
    EXPECT_EQ(d.Caption(), "User authorization 1.0.0.111");
    EXPECT_FALSE(d.IsVisible(kTab));
    EXPECT_FALSE(d.IsVisible(kKeyList));
    EXPECT_EQ(d.Items(kKeyList), (std::vector<std::string>{"Ivanov", "Petrov"}));
    EXPECT_TRUE(d.IsVisible(kKeyLabel));
    EXPECT_EQ(d.Text(kKeyLabel), "Secret key: Petrov");
    EXPECT_EQ(d.Text(kSettings), "Key management");
    EXPECT_FALSE(d.IsVisible(kReaskLabel));
    EXPECT_FALSE(d.IsVisible(kReask));
    for (int id : kTokenControls) EXPECT_FALSE(d.IsVisible(id)) << id;
    EXPECT_TRUE(d.IsVisible(kPassphrase));
    EXPECT_EQ(d.FocusedItem(), kPassphrase);

    // "Settings" moved up by its height to the list's left edge, its right
    // edge kept; the label sits 16 pixels above it with its size.
    const PixelRect button = d.ItemRect(kSettings), list = d.ItemRect(kKeyList), label = d.ItemRect(kKeyLabel);
    const auto& templ = d.Layout().controls;
    const auto original = std::find_if(templ.begin(), templ.end(), [](auto& c) { return c.id == kSettings; });
    // The scripted backend's dialog units: 6 / 4 pixels across, 13 / 8 down.
    const int top = original->rect.y * 13 / 8, height = (original->rect.y + original->rect.height) * 13 / 8 - top;
    EXPECT_EQ(button.left, list.left);
    EXPECT_EQ(button.right, (original->rect.x + original->rect.width) * 6 / 4);
    EXPECT_EQ(button.top, top - height);
    EXPECT_EQ(button.height(), height);
    EXPECT_EQ(label.left, button.left);
    EXPECT_EQ(label.top, button.top - 16);
    EXPECT_EQ(label.width(), button.width());
    EXPECT_EQ(label.height(), button.height());

    EXPECT_TRUE(d.IsVisible(kFileIndicator));
    EXPECT_FALSE(d.IsVisible(kTokenIndicator));
    EXPECT_EQ(d.Text(kFileIndicator), "EN");
    ui.keyboard_layout_language = "ru";
    d.SystemCommand();
    EXPECT_EQ(d.Text(kFileIndicator), "RU");
    d.PressEscape();
  });
  EXPECT_EQ(DebugLines(), (std::vector<std::string>{"interface without tokens run"}));
}

TEST_F(FilePage, KeyLabelIsHiddenWithoutANamedKey) {
  config.keyList.Append("", dir.Write("nameless.key", ui_test::KeyFileText("NONAME")));
  for (uint32_t key_index : {3u, 10u}) {  // an entry without a name; no entry at all
    config.KeyIndex = key_index;
    Store();
    CSignDlgImp dialog;
    Show(dialog, [](ScriptedDialog& d) {
      EXPECT_FALSE(d.IsVisible(kKeyLabel));
      d.PressEscape();
    });
  }
}

TEST_F(FilePage, OkHandsBackTheKeyFilePassphraseAndUserId) {
  config.KeyIndex = 2;
  Store();
  CSignDlgImp dialog;
  EXPECT_EQ(Show(dialog, [](ScriptedDialog& d) {
    d.SetText(kPassphrase, std::string(300, 'p'));  // the field yields at most 254 characters
    d.PressEnter();
  }), 1);
  EXPECT_EQ(dialog.KeyPath(), petrov);
  EXPECT_EQ(dialog.Passphrase(), std::string(254, 'p'));
  EXPECT_EQ(dialog.UserId(), "PETROV");
  EXPECT_EQ(Stored().KeyIndex, 2u);
}

TEST_F(FilePage, TypedPassphraseIsHandedBackInTheAnsiPageOrNotAtAll) {
  Store();
  ui_test::ScopedLocale locale("C.UTF-8", 1033);
  const struct {
    const char* typed;
    const char* passphrase;
  } cases[] = {{"Пароль", "\xCF\xE0\xF0\xEE\xEB\xFC"}, {"pass\u4E2D", ""}};  // "?" would open no key
  for (const auto& c : cases) {
    CSignDlgImp dialog;
    EXPECT_EQ(Show(dialog, [&](ScriptedDialog& d) {
      d.SetText(kPassphrase, c.typed);
      d.PressEnter();
    }), 1);
    EXPECT_EQ(dialog.Passphrase(), c.passphrase) << c.typed;
  }
}

TEST_F(FilePage, AskAgainItemGivesTheSeconds) {
  const struct {
    uint32_t reask_index;
    int32_t seconds;
  } cases[] = {{0, -1}, {1, 60}, {2, 300}, {7, 1800}, {8, 3600}, {9, 0}, {10, 0}};
  for (const auto& c : cases) {
    config.ReaskIndex = c.reask_index;
    Store();
    CSignDlgImp dialog;
    Show(dialog, [](ScriptedDialog& d) { d.PressEnter(); });
    EXPECT_EQ(dialog.ReaskSeconds(), c.seconds) << c.reask_index;
  }
}

TEST_F(FilePage, CancelLeavesOutputsEmptyAndSettingsUnsaved) {
  config.KeyType = 1;
  config.VK = 1;
  Store();
  ui.ExpectDialog(202, [](ScriptedDialog& k) {
    k.Click(244);
    k.Click(1);
  });
  CSignDlgImp dialog;
  EXPECT_EQ(Show(dialog, [](ScriptedDialog& d) {
    d.Focus(kPassphrase);  // a passphrase was typed on the keyboard
    d.PressEscape();
  }), 2);
  EXPECT_EQ(dialog.KeyPath(), "");
  EXPECT_EQ(dialog.Passphrase(), "");
  EXPECT_EQ(dialog.UserId(), "");
  EXPECT_EQ(Stored().KeyType, 1);  // only OK saves the settings
}

TEST_F(FilePage, ScreenKeyboardTypesThePassphrase) {
  config.VK = 1;
  config.KeyIndex = 0;
  Store();
  ui.ExpectDialog(202, [](ScriptedDialog& k) {
    // Opens below the dialog, so that OK and Cancel stay in sight.
    EXPECT_EQ(k.ScreenRect().top, k.Parent()->ScreenRect().bottom + 2);
    for (int key : {244, 262, 247}) k.Click(key);    // a, s, d
    EXPECT_EQ(k.Parent()->ItemText(kPassphrase), "***");
    k.Click(1);
  });
  CSignDlgImp dialog;
  EXPECT_EQ(Show(dialog, [](ScriptedDialog& d) {
    d.Focus(kPassphrase);
    EXPECT_EQ(d.FocusedItem(), 1);  // the focus left the field for OK
    EXPECT_EQ(d.Text(kPassphrase), "***");
    d.PressEnter();
  }), 1);
  EXPECT_EQ(dialog.Passphrase(), "asd");
  EXPECT_EQ(dialog.KeyPath(), ivanov);
}

// The field holds at most 254 characters: a longer text from the keyboard
// leaves the passphrase typed before.
TEST_F(FilePage, ScreenKeyboardTextOf255CharactersKeepsTheEarlierPassphrase) {
  config.VK = 1;
  config.KeyIndex = 0;
  Store();
  ui.ExpectDialog(202, [](ScriptedDialog& k) {
    for (int key : {244, 262, 247}) k.Click(key);  // a, s, d
    k.Click(1);
  });
  ui.ExpectDialog(202, [](ScriptedDialog& k) {
    for (int i = 0; i < 255; ++i) k.Click(244);
    k.Click(1);
  });
  CSignDlgImp dialog;
  EXPECT_EQ(Show(dialog, [](ScriptedDialog& d) {
    d.Focus(kPassphrase);
    d.Focus(kPassphrase);
    d.PressEnter();
  }), 1);
  EXPECT_EQ(dialog.Passphrase(), "asd");
}

TEST_F(FilePage, KeyManagementSelectionBecomesTheKeyAndTheListIsSavedOnClose) {
  config.KeyIndex = 0;
  Store();
  ui.ExpectDialog(203, [](ScriptedDialog& e) {  // closed without a choice
    e.Click(1);
  });
  ui.ExpectDialog(203, [](ScriptedDialog& e) {
    e.Select(205, 2);
    e.Click(6);  // "Select"
  });
  ui.ExpectDialog(204, [](ScriptedDialog& name) {
    name.SetText(210, "Petr");
    name.PressEnter();
  });
  ui.ExpectDialog(203, [](ScriptedDialog& e) {
    e.Select(205, 2);
    e.Click(221);  // "Rename"
    e.Click(1);
  });
  CSignDlgImp dialog;
  Show(dialog, [&](ScriptedDialog& d) {
    d.Click(kSettings);
    EXPECT_EQ(d.Text(kKeyLabel), "Secret key: Ivanov");
    d.Click(kSettings);
    EXPECT_EQ(d.Text(kKeyLabel), "Secret key: Petrov");
    EXPECT_EQ(d.FocusedItem(), kPassphrase);
    d.Click(kSettings);
    EXPECT_EQ(d.Text(kKeyLabel), "Secret key: Petr");
    d.PressEscape();
  });
  EXPECT_EQ(config.KeyIndex, 2u);
  KeyList saved;
  saved.Load();
  ASSERT_EQ(saved.size(), 3u);
  EXPECT_EQ(saved.At(2)->name, "Petr");
}

TEST_F(FilePage, RussianTextsReachTheBackendWholeWhateverTheAnsiCodePage) {
  config.language = 1049;
  Store();
  for (const char* locale : {"ru_RU.UTF-8", "C.UTF-8", "en_US.UTF-8", "de_DE.UTF-8"}) {
    ui_test::ScopedLocale russian(locale, 1049);
    CSignDlgImp dialog;
    Show(dialog, [&](ScriptedDialog& d) {
      EXPECT_EQ(d.Caption(), "Идентификация пользователя 1.0.0.345") << locale;
      EXPECT_EQ(d.Text(kKeyLabel), "Закрытый ключ: Ivanov") << locale;
      EXPECT_EQ(d.Text(kSettings), "Управление ключами") << locale;
      EXPECT_EQ(d.Items(kReask)[0], "Никогда") << locale;
      d.PressEscape();
    });
  }
}

TEST_F(FilePage, AbsentTokenIsNamedAndAFileKeyLeavesTheTokenChoiceStored) {
  constexpr int kTokenNotice = 494;
  config.KeyIndex = 0;
  config.KeyType = 1;
  config.tokenName = "ModelX\\Office (0042)";
  config.eTokenKeySerial = 777;
  Store();
  CSignDlgImp dialog;
  EXPECT_EQ(Show(dialog, [](ScriptedDialog& d) {
    EXPECT_TRUE(d.IsVisible(kTokenNotice));
    EXPECT_EQ(d.Text(kTokenNotice), "Insert the token or choose a key file");
    d.SetText(kPassphrase, "secret");
    d.PressEnter();
  }), 1);
  EXPECT_EQ(dialog.KeyPath(), ivanov);
  // The key in use is a file key; the stored choice still names the token.
  EXPECT_EQ(config.KeyType, 0);
  const Config stored = Stored();
  EXPECT_EQ(stored.KeyType, 1);
  EXPECT_EQ(stored.tokenName, "ModelX\\Office (0042)");
  EXPECT_EQ(stored.eTokenKeySerial, 777u);
  EXPECT_EQ(stored.KeyIndex, 0u);

  // Without a stored token there is nothing to insert.
  config.KeyType = 0;
  config.tokenName.clear();
  Store();
  CSignDlgImp plain;
  Show(plain, [](ScriptedDialog& d) {
    EXPECT_FALSE(d.IsVisible(kTokenNotice));
    d.PressEscape();
  });
}
