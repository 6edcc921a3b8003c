#include "ui/screen_keyboard_dlg.h"

#include "ui/debug_log.h"
#include "ui/keyboard_placement.h"
#include "ui/load_string.h"

#include "core/crypto.h"

namespace ui {
namespace {
// Room for any passphrase the authorization dialog accepts, so that the text
// is never moved (and an unwiped copy left behind) while it grows.
constexpr size_t kTextReserve = 512;
constexpr int kHintString = 190;  // "Click the keys with the mouse: ..."
}  // namespace

CDlgScreenKeyboard::CDlgScreenKeyboard() : table_(kKeyboardLayouts[0].lower) {
  text_.reserve(kTextReserve);
}

CDlgScreenKeyboard::~CDlgScreenKeyboard() { secure_wipe(text_.data(), text_.capacity()); }

const KeyboardTable& CDlgScreenKeyboard::ActiveTable() const {
  const KeyboardLayout& layout = kKeyboardLayouts[layout_];
  const bool shift = (modifiers_ & kShift) != 0;
  const bool caps = (modifiers_ & kCapsLock) != 0;
  return shift != caps ? *layout.upper : *layout.lower;
}

void CDlgScreenKeyboard::Relabel(const KeyboardTable& table) {
  for (int id = kFirstCharacterKey; id <= kLastCharacterKey; ++id) {
    if (Window()->HasItem(id)) {
      Window()->SetItemText(id, std::string(1, table[id - kFirstCharacterKey]), kKeyboardCodePage);
    }
  }
  table_ = &table;
}

void CDlgScreenKeyboard::Echo() {
  if (target_) target_.window->SetItemText(target_.id, std::string(text_.size(), '*'));
}

void CDlgScreenKeyboard::ToggleShift() {
  modifiers_ ^= kShift;
  Relabel(ActiveTable());
  const bool shift = (modifiers_ & kShift) != 0;
  Window()->SetCheck(kRightShift, shift);
  Window()->SetCheck(kLeftShift, shift);
}

void CDlgScreenKeyboard::ShowLayoutName() {
  Window()->SetItemText(kLanguage, kKeyboardLayouts[layout_].name, kKeyboardCodePage);
}

intptr_t CDlgScreenKeyboard::OnInitDialog() {
  Relabel(*kKeyboardLayouts[layout_].lower);
  Window()->ResetContent(kLayoutList);
  for (int i = 0; i < kKeyboardLayoutCount; ++i) {
    Window()->AddItem(kLayoutList, kKeyboardLayouts[i].name, i, kKeyboardCodePage);
  }
  Window()->SetCurrentItem(kLayoutList, 0);
  ShowLayoutName();
  Window()->SetItemText(kHint, LoadResString(kHintString));
  if (target_) {
    // Beside or below the dialog of the field, so that its OK and Cancel
    // buttons stay in sight, and on the screen.
    const PixelRect own = Window()->ScreenRect();
    const PixelRect place = PlaceKeyboard(target_.window->ScreenRect(), own.width(), own.height(),
                                          Window()->AvailableScreenArea());
    Window()->MoveTo(place.left, place.top);
  }
  text_.clear();
  Echo();
  return 1;
}

intptr_t CDlgScreenKeyboard::OnCommand(uintptr_t wparam, intptr_t, int code) {
  const int id = CommandId(wparam);
  if (id >= kFirstCharacterKey && id <= kLastCharacterKey) {
    text_ += (*table_)[id - kFirstCharacterKey];
    Echo();
    if (modifiers_ & kShift) ToggleShift();  // Shift holds for one character
    return 1;
  }
  switch (id) {
    case kCaps:
      modifiers_ ^= kCapsLock;
      Relabel(ActiveTable());
      break;
    case kRightShift:
    case kLeftShift:
      ToggleShift();
      break;
    case kBackspace:
      if (!text_.empty()) {
        text_.pop_back();
        Echo();
      }
      break;
    case kLanguage:
      ShowItem(kLanguage, false);
      ShowItem(kRightShift, false);
      ShowItem(kLayoutList, true);
      Window()->ShowDropDown(kLayoutList, true);
      break;
    case kLayoutList:
      if (code == kComboSetFocus || code == kComboDropDown) break;
      ShowLayoutName();
      ShowItem(kLanguage, true);
      ShowItem(kRightShift, true);
      ShowItem(kLayoutList, false);
      if (code == kComboSelEndOk) {
        const int item = Window()->CurrentItem(kLayoutList);
        const intptr_t layout = item >= 0 ? Window()->ItemData(kLayoutList, item) : -1;
        if (layout >= 0 && layout < kKeyboardLayoutCount) layout_ = static_cast<int>(layout);
        Relabel(ActiveTable());
      }
      break;
    default:
      break;
  }
  return 1;
}

intptr_t CDlgScreenKeyboard::OnNotify(DialogWindow*, uintptr_t, int) { return 1; }

bool CDlgScreenKeyboard::OnCancel() {
  if (target_) target_.window->SetItemText(target_.id, "");
  return true;
}

bool CDlgScreenKeyboard::OnRefresh() { return true; }

bool CDlgScreenKeyboard::OnTypedKey(char16_t) {
  if (!hint_emphasized_) DebugLog("keys typed on the keyboard are not taken: the on-screen keyboard's hint is shown");
  hint_emphasized_ = true;
  Window()->EmphasizeItem(kHint);
  return true;
}

}  // namespace ui

