#include <gtest/gtest.h>

#include "tests/unit/ui/ui_test_util.h"
#include "ui/backends/scripted/scripted_backend.h"
#include "ui/keyboard_layouts.h"
#include "ui/screen_keyboard_dlg.h"

using namespace ui;

namespace {

constexpr int kA = 244, kB = 245, kF = 249, kSpace = 281;

// An owner dialog with a field for the keyboard to echo into (the text input
// dialog's edit stands in for the password field).
class Owner : public CDialog {
 public:
  intptr_t OnCommand(uintptr_t wparam, intptr_t, int code) override {
    if (CommandId(wparam) == 210 && code == kEditSetFocus && on_open) on_open();
    return 1;
  }
  std::function<void()> on_open;
};

class ScreenKeyboard : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_TRUE(ui.Problems().empty()) << ui.Problems().front(); }

  // Shows the keyboard on its own (no target) and plays `script` on it.
  std::string Type(const std::function<void(ScriptedDialog&)>& script, intptr_t* result = nullptr) {
    CDlgScreenKeyboardImpl keyboard;
    ui.ExpectDialog(202, script);
    const intptr_t r = keyboard.DoModal(202, nullptr);
    if (result) *result = r;
    return keyboard.Text();
  }

  ScriptedBackend ui;
  ui_test::ScopedLocale locale = ui_test::English();
};

}  // namespace

TEST_F(ScreenKeyboard, OpensOnTheEnglishLowerTable) {
  intptr_t result = 0;
  Type([](ScriptedDialog& d) {
    EXPECT_EQ(d.Text(234), "0");
    EXPECT_EQ(d.Text(kA), "a");
    EXPECT_EQ(d.Text(275), "\\");
    EXPECT_EQ(d.Text(kSpace), " ");
    EXPECT_EQ(d.Text(387), "Eng");
    EXPECT_FALSE(d.IsVisible(381));
    EXPECT_EQ(d.Items(381), (std::vector<std::string>{"Eng", "\xD0\xF3\xF1"}));
    EXPECT_EQ(d.CurrentItem(381), 0);
    d.Click(1);
  }, &result);
  EXPECT_EQ(result, 1);
}

TEST_F(ScreenKeyboard, ShiftHoldsForOneCharacterAndCapsInvertsIt) {
  EXPECT_EQ(Type([](ScriptedDialog& d) {
    d.Click(384);
    EXPECT_EQ(d.Text(kA), "A");
    EXPECT_TRUE(d.IsChecked(383));
    EXPECT_TRUE(d.IsChecked(384));
    d.Click(kA);
    d.Click(kB);
    EXPECT_FALSE(d.IsChecked(383));
    EXPECT_FALSE(d.IsChecked(384));
    EXPECT_EQ(d.Text(kA), "a");
    d.Click(1);
  }), "Ab");

  EXPECT_EQ(Type([](ScriptedDialog& d) {
    d.Click(382);  // CAPS on
    EXPECT_TRUE(d.IsChecked(382));
    d.Click(kA);
    d.Click(383);  // CAPS and Shift: the lower table
    EXPECT_EQ(d.Text(kA), "a");
    d.Click(kA);
    EXPECT_FALSE(d.IsChecked(383));
    d.Click(235);  // CAPS alone: the upper table, digits included
    d.Click(1);
  }), "Aa!");
}

TEST_F(ScreenKeyboard, RussianLayoutTypesCodePage1251Bytes) {
  EXPECT_EQ(Type([](ScriptedDialog& d) {
    d.Click(387);
    EXPECT_FALSE(d.IsVisible(387));
    EXPECT_FALSE(d.IsVisible(383));
    EXPECT_TRUE(d.IsVisible(381));
    EXPECT_TRUE(d.IsDroppedDown(381));
    d.PickFromDropDown(381, 1);
    EXPECT_TRUE(d.IsVisible(387));
    EXPECT_TRUE(d.IsVisible(383));
    EXPECT_FALSE(d.IsVisible(381));
    EXPECT_EQ(d.Text(387), "\xD0\xF3\xF1");
    EXPECT_EQ(d.TextCodePage(387), 1251);
    EXPECT_EQ(d.Text(kF), "\xE0");
    EXPECT_EQ(d.TextCodePage(kF), 1251);
    d.Click(kF);  // а
    d.Click(382);
    d.Click(kF);  // А
    d.Click(236);  // CAPS: the Russian upper digit row, "
    d.Click(kSpace);
    d.Click(1);
  }), "\xE0\xC0\" ");
}

TEST_F(ScreenKeyboard, ClosingTheLayoutListWithoutAChoiceKeepsTheLayout) {
  EXPECT_EQ(Type([](ScriptedDialog& d) {
    d.Click(387);
    d.DismissDropDown(381);
    EXPECT_TRUE(d.IsVisible(387));
    EXPECT_FALSE(d.IsVisible(381));
    EXPECT_EQ(d.Text(387), "Eng");
    d.Click(kF);
    d.Click(1);
  }), "f");
}

TEST_F(ScreenKeyboard, BackspaceEchoAndEscapeReachTheTargetField) {
  CDialogImp<Owner> host;
  std::string kept;
  host.on_open = [&] {
    CDlgScreenKeyboardImpl keyboard;
    ScriptedDialog* field_dialog = ui.CurrentDialog();
    keyboard.SetTarget({field_dialog, 210});
    ui.ExpectDialog(202, [&](ScriptedDialog& d) {
      EXPECT_EQ(field_dialog->Text(210), "");
      // The keyboard opens 2 pixels below the dialog, clear of its buttons.
      EXPECT_EQ(d.ScreenRect().top, field_dialog->ScreenRect().bottom + 2);
      d.Click(385);  // nothing to remove
      EXPECT_EQ(field_dialog->Text(210), "");
      d.Click(kA);
      d.Click(kB);
      d.Click(kF);
      d.Click(385);
      EXPECT_EQ(field_dialog->Text(210), "**");
      d.PressEscape();
    });
    EXPECT_EQ(keyboard.DoModal(202, field_dialog), 2);
    EXPECT_EQ(field_dialog->Text(210), "");
    kept = keyboard.Text();  // Esc leaves the typed text in the object
  };
  ui.ExpectDialog(204, [](ScriptedDialog& d) {
    d.Focus(210);
    d.PressEscape();
  });
  host.DoModal(204, nullptr);
  EXPECT_EQ(kept, "ab");
}

TEST_F(ScreenKeyboard, TypingOnTheRealKeyboardTypesNothingAndPointsToTheHint) {
  EXPECT_EQ(Type([](ScriptedDialog& d) {
    EXPECT_EQ(d.Text(388).rfind("Click the keys with the mouse", 0), 0u) << d.Text(388);
    EXPECT_NE(d.Text(388).find("velix settings set VK 0"), std::string::npos) << d.Text(388);
    EXPECT_FALSE(d.IsEmphasized(388));
    d.Click(kA);
    EXPECT_TRUE(d.TypeOnKeyboard(u"secret pass 123"));
    EXPECT_TRUE(d.IsEmphasized(388));
    d.Click(kB);
    d.Click(1);
  }), "ab");
}

TEST_F(ScreenKeyboard, HintIsRussianInTheRussianDialog) {
  const ui_test::ScopedLocale russian = ui_test::Russian();
  Type([](ScriptedDialog& d) {
    EXPECT_EQ(d.Text(388).rfind("Нажимайте клавиши мышью", 0), 0u) << d.Text(388);
    d.PressEscape();
  });
}

TEST(KeyboardLayouts, TablesHoldTheShippedCharacters) {
  // Buttons 234..281: digits, a..z, ` - = [ ] \ ; ' , . / and space.
  const std::string english_lower = "0123456789abcdefghijklmnopqrstuvwxyz`-=[]\\;',./ ";
  const std::string english_upper = ")!@#$%^&*(ABCDEFGHIJKLMNOPQRSTUVWXYZ~_+{}|:\"<>? ";
  const std::string russian_lower =
      "0123456789"
      "\xF4\xE8\xF1\xE2\xF3\xE0\xEF\xF0\xF8\xEE\xEB\xE4\xFC\xF2\xF9\xE7\xE9\xEA\xFB\xE5\xE3\xEC\xF6\xF7\xED\xFF"
      "\xB8-=\xF5\xFA\\\xE6\xFD\xE1\xFE. ";
  const std::string russian_upper =
      ")!\"\xB9;%:?*("
      "\xD4\xC8\xD1\xC2\xD3\xC0\xCF\xD0\xD8\xCE\xCB\xC4\xDC\xD2\xD9\xC7\xC9\xCA\xDB\xC5\xC3\xCC\xD6\xD7\xCD\xDF"
      "\xA8_+\xD5\xDA/\xC6\xDD\xC1\xDE, ";
  ASSERT_EQ(english_lower.size(), 48u);
  ASSERT_EQ(russian_upper.size(), 48u);
  auto table = [](const KeyboardTable* t) { return std::string(*t, kCharacterKeyCount); };
  EXPECT_EQ(table(kKeyboardLayouts[0].lower), english_lower);
  EXPECT_EQ(table(kKeyboardLayouts[0].upper), english_upper);
  EXPECT_EQ(table(kKeyboardLayouts[1].lower), russian_lower);
  EXPECT_EQ(table(kKeyboardLayouts[1].upper), russian_upper);
  EXPECT_STREQ(kKeyboardLayouts[0].name, "Eng");
  EXPECT_STREQ(kKeyboardLayouts[1].name, "\xD0\xF3\xF1");
}
