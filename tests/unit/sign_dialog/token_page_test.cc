// The authorization dialog's token page over a SoftHSM2 token.
#include <algorithm>

#include "tests/unit/sign_dialog/token_dialog_fixture.h"

using namespace ui;
using sign_dialog_test::DebugLines;
using sign_dialog_test::kTokenPin;

namespace {

constexpr int kPassphrase = 201, kKeyList = 202, kSettings = 203, kReask = 204, kTab = 223, kKeyLabel = 224,
              kTokenPassword = 227, kUpdate = 228, kTokenKeys = 229, kFileIndicator = 282,
              kTokenIndicator = 283, kTokenList = 492;
constexpr int kTokenControls[] = {226, 227, 228, 229, 232, 492, 493};

class TokenPage : public sign_dialog_test::TokenDialogTest {
 protected:
  int TokenLine(const ScriptedDialog& d) const {
    const auto items = d.Items(kTokenList);
    return static_cast<int>(std::find(items.begin(), items.end(), token_name) - items.begin());
  }
};

}  // namespace

TEST_F(TokenPage, OpensOnTheStoredTokenWithItsKeyListed) {
  Generate(777, "Token User");
  config.keyList.Append("Office key", "777");
  config.keyList.Append("File key", dir.Write("a.key", ui_test::KeyFileText("FILE USER")));
  StoreTokenChoice(777);
  CSignDlgImp dialog;
  EXPECT_EQ(Show(dialog, [&](ScriptedDialog& d) {
    EXPECT_EQ(d.Tabs(kTab), (std::vector<std::string>{"Local file", "Token"}));
    EXPECT_EQ(d.CurrentTab(kTab), 1);
    EXPECT_EQ(d.Text(kTokenList), token_name);
    EXPECT_EQ(d.Items(kTokenKeys), (std::vector<std::string>{"Office key"}));
    EXPECT_EQ(d.CurrentItem(kTokenKeys), 0);
    for (int id : kTokenControls) EXPECT_TRUE(d.IsVisible(id)) << id;
    for (int id : {kPassphrase, kKeyList, kSettings, kKeyLabel, kFileIndicator}) EXPECT_FALSE(d.IsVisible(id)) << id;
    EXPECT_TRUE(d.IsVisible(kTokenIndicator));
    EXPECT_TRUE(d.IsVisible(kReask));
    EXPECT_EQ(d.FocusedItem(), kTokenPassword);

    // The file page lists only key files, under the label of the list.
    d.SelectTab(kTab, 0);
    EXPECT_EQ(d.Items(kKeyList), (std::vector<std::string>{"File key"}));
    EXPECT_EQ(d.Text(kKeyLabel), "Secret key:");
    for (int id : {kKeyList, kKeyLabel, kPassphrase, kSettings, kFileIndicator}) EXPECT_TRUE(d.IsVisible(id)) << id;
    for (int id : kTokenControls) EXPECT_FALSE(d.IsVisible(id)) << id;
    EXPECT_EQ(d.FocusedItem(), kPassphrase);

    d.SelectTab(kTab, 1);
    d.SetText(kTokenPassword, kTokenPin);
    d.PickFromDropDown(kReask, 1);  // "1 min."
    d.PressEnter();
  }), 1);
  EXPECT_EQ(dialog.TokenEngine(), ENGINE_PKCS11);
  EXPECT_EQ(dialog.TokenIndex(), token_index);
  EXPECT_EQ(dialog.Passphrase(), kTokenPin);
  EXPECT_EQ(dialog.KeyPath(), "");
  EXPECT_EQ(dialog.ReaskSeconds(), 60);
  const Config stored = Stored();
  EXPECT_EQ(stored.KeyType, 1);
  EXPECT_EQ(stored.tokenName, token_name);
  EXPECT_EQ(stored.eTokenKeySerial, 777u);
  EXPECT_EQ(stored.ReaskIndex, 1u);
  EXPECT_EQ(DebugLines(), (std::vector<std::string>{"has " + std::to_string(token_count) + " tokens"}));
}

TEST_F(TokenPage, TokenKeysAreNamedAfterTheKeyList) {
  Generate(777, "Token User");
  const struct {
    std::vector<std::pair<std::string, std::string>> entries;  // name, path
    uint32_t stored_serial;
    std::string listed;
  } cases[] = {
      {{{"Office key", "777"}}, 777, "Office key"},
      {{{"Home", "/home/Token User/secret.key"}}, 777, "Home [Token User]"},
      {{{"First", "/keys/Token User.key"}, {"Second", "777"}}, 777, "First [Token User]"},
      {{{"Other", "/keys/other.key"}}, 777, "Token User [777]"},
      {{}, 777, "Token User [777]"},
      {{{"Office key", "778"}}, 778, "778"},  // not on the token: the serial alone
  };
  for (const auto& c : cases) {
    config.keyList.Clear();
    for (const auto& [name, path] : c.entries) config.keyList.Append(name, path);
    StoreTokenChoice(c.stored_serial);
    CSignDlgImp dialog;
    Show(dialog, [&](ScriptedDialog& d) {
      EXPECT_EQ(d.Items(kTokenKeys), (std::vector<std::string>{c.listed}));
      d.PressEscape();
    });
  }
}

TEST_F(TokenPage, UpdateLogsInAndListsTheKeys) {
  StoreTokenChoice(502);
  const auto last_box = [&] { return ui.message_boxes.empty() ? MessageBoxRequest{} : ui.message_boxes.back(); };
  CSignDlgImp dialog;
  Show(dialog, [&](ScriptedDialog& d) {
    const struct {
      const char* password;
      const char* message;
      unsigned type;
    } failures[] = {
        {"", "Enter passphrase for Token.", kMbOk | kMbIconWarning},
        {"9999", "Invalid passphrase", kMbOk | kMbIconWarning},
        {kTokenPin, "No private keys on your Token. Please create a key.", kMbOk | kMbIconWarning},
    };
    for (const auto& f : failures) {
      d.SetText(kTokenPassword, f.password);
      d.Click(kUpdate);
      EXPECT_EQ(last_box().text, f.message) << f.password;
      EXPECT_EQ(last_box().caption, "Error");
      EXPECT_EQ(last_box().type, f.type);
    }
    EXPECT_EQ(ui.message_boxes.size(), 3u);

    Generate(501, "Alpha");
    Generate(502, "Beta");
    d.SetText(kTokenPassword, kTokenPin);
    d.Click(kUpdate);
    EXPECT_EQ(d.Items(kTokenKeys), (std::vector<std::string>{"Alpha [501]", "Beta [502]"}));
    EXPECT_EQ(d.CurrentItem(kTokenKeys), 1);  // the key used last
    EXPECT_EQ(d.FocusedItem(), 1);
    EXPECT_EQ(ui.message_boxes.size(), 3u);

    core_done();  // the token library is gone
    d.Click(kUpdate);
    EXPECT_EQ(last_box().text, "Insert Token");
    EXPECT_EQ(last_box().type, kMbOk | kMbIconInformation);
    core_init();
    d.PressEscape();
  });
}

TEST_F(TokenPage, OkWithoutAKeyLogsInAndGoesOnWithTheOnlyKey) {
  Generate(601, "Signer");
  config.KeyType = 1;
  Store();  // no token chosen before
  CSignDlgImp dialog;
  EXPECT_EQ(Show(dialog, [&](ScriptedDialog& d) {
    d.PickFromDropDown(kTokenList, TokenLine(d));
    EXPECT_TRUE(d.Items(kTokenKeys).empty());
    d.PressEnter();
    ASSERT_EQ(ui.message_boxes.size(), 1u);
    EXPECT_EQ(ui.message_boxes[0].text, "Enter passphrase for Token.");

    d.SetText(kTokenPassword, kTokenPin);
    d.PressEnter();  // logs in, lists the one key and takes it
  }), 1);
  EXPECT_EQ(ui.message_boxes.size(), 1u);
  EXPECT_EQ(config.eTokenKeySerial, 601u);
  EXPECT_EQ(Stored().tokenName, token_name);
  EXPECT_EQ(dialog.TokenIndex(), token_index);
}

TEST_F(TokenPage, OkAmongSeveralNewKeysAsksToChooseOne) {
  Generate(601, "Signer");
  Generate(602, "Second");
  config.KeyType = 1;
  Store();  // no token or key chosen before
  CSignDlgImp dialog;
  EXPECT_EQ(Show(dialog, [&](ScriptedDialog& d) {
    d.PickFromDropDown(kTokenList, TokenLine(d));
    d.SetText(kTokenPassword, kTokenPin);
    d.PressEnter();
    ASSERT_FALSE(d.Ended());
    ASSERT_EQ(ui.message_boxes.size(), 1u);
    EXPECT_EQ(ui.message_boxes[0].text, "Select a private key in the list.");
    EXPECT_EQ(ui.message_boxes[0].caption, "Error");
    EXPECT_EQ(ui.message_boxes[0].type, kMbOk | kMbIconWarning);
    EXPECT_EQ(d.Items(kTokenKeys), (std::vector<std::string>{"Second [602]", "Signer [601]"}));
    EXPECT_EQ(d.CurrentItem(kTokenKeys), -1);
    EXPECT_TRUE(d.IsDroppedDown(kTokenKeys));
    d.PickFromDropDown(kTokenKeys, 1);
    d.PressEnter();
  }), 1);
  EXPECT_EQ(config.eTokenKeySerial, 601u);

  // Logged in again, the key chosen is the one selected.
  StoreTokenChoice(601);
  CSignDlgImp again;
  Show(again, [&](ScriptedDialog& d) {
    d.SetText(kTokenPassword, kTokenPin);
    d.Click(kUpdate);
    EXPECT_EQ(d.Text(kTokenKeys), "Signer [601]");
    d.PressEscape();
  });
}

TEST_F(TokenPage, PasswordFieldYieldsAtMost254Characters) {
  StoreTokenChoice(778);  // listed by its serial: OK needs no login
  CSignDlgImp dialog;
  Show(dialog, [](ScriptedDialog& d) {
    d.SetText(kTokenPassword, std::string(254, 'x') + "yz");
    d.PressEnter();
  });
  EXPECT_EQ(dialog.Passphrase(), std::string(254, 'x'));
}

TEST_F(TokenPage, ScreenKeyboardMovesTheFocusToTheNextStep) {
  config.VK = 1;
  for (const uint32_t serial : {778u, 0u}) {  // a key chosen before: OK; none yet: "Update"
    StoreTokenChoice(serial);
    ui.ExpectDialog(202, [](ScriptedDialog& k) {
      for (int key : {260, 266, 248}) k.Click(key);  // q, w, e
      EXPECT_EQ(k.Parent()->ItemText(kTokenPassword), "***");
      k.Click(1);
    });
    CSignDlgImp dialog;
    Show(dialog, [&](ScriptedDialog& d) {
      d.Focus(kTokenPassword);
      EXPECT_EQ(d.FocusedItem(), serial != 0 ? 1 : kUpdate) << serial;
      d.PressEnter();
    });
    EXPECT_EQ(dialog.Passphrase(), "qwe");
  }
}

namespace {

class RussianTokenPage : public sign_dialog_test::TokenDialogTest {
 protected:
  RussianTokenPage() { label_ = "\xD0\xA2\xD0\xBE\xD0\xBA\xD0\xB5\xD0\xBD"; }  // "Токен" in UTF-8
  ui_test::ScopedLocale russian = ui_test::Russian();
};

}  // namespace

TEST_F(RussianTokenPage, TokenNamesAreShownAndStoredInUtf8) {
  config.language = 1049;
  StoreTokenChoice(778);
  CSignDlgImp dialog;
  EXPECT_EQ(Show(dialog, [&](ScriptedDialog& d) {
    EXPECT_EQ(d.Tabs(kTab), (std::vector<std::string>{"Диск", "Token"}));
    EXPECT_EQ(d.CurrentTab(kTab), 1);
    EXPECT_EQ(d.Text(kTokenList), token_name);
    EXPECT_EQ(d.Items(kTokenKeys), (std::vector<std::string>{"778"}));  // the stored token was recognised
    d.SetText(kTokenPassword, kTokenPin);
    d.PressEnter();
  }), 1);
  EXPECT_EQ(dialog.TokenIndex(), token_index);
  EXPECT_EQ(Stored().tokenName, token_name);
}
