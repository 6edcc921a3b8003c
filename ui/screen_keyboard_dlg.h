// The on-screen keyboard: the passphrase is clicked together on 48 character
// buttons instead of being typed into the password field, which only echoes
// one asterisk per character.
#pragma once

#include <cstdint>
#include <string>

#include "ui/dialog.h"
#include "ui/keyboard_layouts.h"

namespace ui {

class CDlgScreenKeyboard : public CDialog {
 public:
  static constexpr int kTemplateId = 202;
  // Control ids.
  static constexpr int kLayoutList = 381;
  static constexpr int kCaps = 382;
  static constexpr int kRightShift = 383;
  static constexpr int kLeftShift = 384;
  static constexpr int kBackspace = 385;
  static constexpr int kUnused = 386;
  static constexpr int kLanguage = 387;
  static constexpr int kHint = 388;  // how the keyboard is used and switched off

  CDlgScreenKeyboard();
  ~CDlgScreenKeyboard() override;

  // The password field that echoes the typing; may be left empty.
  void SetTarget(DialogItem target) { target_ = target; }
  // The characters typed so far, as code page 1251 bytes.
  const std::string& Text() const { return text_; }

  intptr_t OnInitDialog() override;
  intptr_t OnCommand(uintptr_t wparam, intptr_t lparam, int code) override;
  intptr_t OnNotify(DialogWindow* from, uintptr_t id, int code) override;
  bool OnCancel() override;
  bool OnRefresh() override;
  // Typing on the real keyboard goes nowhere here: the hint says so.
  bool OnTypedKey(char16_t character) override;

 private:
  static constexpr uint16_t kShift = 1;
  static constexpr uint16_t kCapsLock = 2;

  const KeyboardTable& ActiveTable() const;
  void Relabel(const KeyboardTable& table);
  void Echo();
  void ToggleShift();
  void ShowLayoutName();

  DialogItem target_;
  std::string text_;
  int layout_ = 0;
  const KeyboardTable* table_;
  uint16_t modifiers_ = 0;
  bool hint_emphasized_ = false;
};

using CDlgScreenKeyboardImpl = CDialogImp<CDlgScreenKeyboard>;

}  // namespace ui
