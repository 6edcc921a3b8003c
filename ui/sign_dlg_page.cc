// The authorization dialog's pages: building them, switching between them,
// the file page's OK, and the two nested dialogs (key management and the
// on-screen keyboard).
#include "core/crypto.h"
#include "platform/codepage.h"
#include "settings/config.h"
#include "ui/edit_dlg.h"
#include "ui/key_file_id.h"
#include "ui/load_string.h"
#include "ui/reask_list.h"
#include "ui/settings_messages.h"
#include "ui/screen_keyboard_dlg.h"
#include "ui/sign_dlg.h"

namespace ui {
namespace {

constexpr int kSecretKeyString = 152;     // "Secret key: %s"
constexpr int kKeyManagementString = 153;  // "Key management"
constexpr int kLabelAboveButton = 16;      // pixels between the key label and the button

}  // namespace

void CSignDlg::ApplyLayoutWithoutTokens() {
  ShowItem(kTab, false);
  // "Settings" moves up one button height to the key list's left edge, keeps
  // its right edge and becomes "Key management".
  const PixelRect button = GetItemRect(kSettings);
  const PixelRect list = GetItemRect(kKeyList);
  PixelRect moved{list.left, button.top - button.height(), button.right, button.top};
  Window()->MoveItem(kSettings, moved);
  Window()->SetItemText(kSettings, LoadResString(kKeyManagementString));
  ShowItem(kReaskLabel, false);
  ShowItem(kReaskList, false);
  // The key label takes the place above the button.
  const PixelRect label{moved.left, moved.top - kLabelAboveButton, moved.right,
                        moved.top - kLabelAboveButton + moved.height()};
  Window()->MoveItem(kKeyLabel, label);
  ShowItem(kKeyLabel, true);
}

void CSignDlg::PostPageSwitch() {
  page_switch_.window = Window();
  Window()->PostMessage(kMsgNotify, static_cast<uintptr_t>(kTab), reinterpret_cast<intptr_t>(&page_switch_));
}

void CSignDlg::SwitchPage() {
  Config& config = Config::Instance();
  const int tab = Window()->CurrentTab(kTab);
  config.KeyType = static_cast<uint8_t>(tab > 0 ? tab : 0);
  RebuildPage(key_list_->At(config.KeyIndex));
  FocusPasswordField();
}

void CSignDlg::FocusPasswordField() {
  if (Config::Instance().KeyType != 0 && token_state_ == TokenState::kPinPad) {
    Window()->SetFocus(kCmdOk);
    return;
  }
  if (Config::Instance().KeyType != 0 && token_state_ == TokenState::kLocked) {
    Window()->SetFocus(kCmdCancel);  // nothing else on the page can be used
    return;
  }
  Window()->SetFocus(Config::Instance().KeyType != 0 ? kTokenPassword : kPassphrase);
}

void CSignDlg::RebuildPage(const KeyListEntry* preselected) {
  Config& config = Config::Instance();
  DialogWindow* w = Window();
  w->ResetContent(kKeyList);
  ListStoredTokenKey();
  SetPassphrase("");
  w->SetItemText(kTokenPassword, "");

  int index = 0;
  for (const KeyListEntry* entry = key_list_->head(); entry != nullptr; entry = entry->next, ++index) {
    if (IsTokenEntry(*entry)) continue;
    const int line = w->AddItem(kKeyList, platform::ansi_to_utf8(entry->name), index);
    if (entry == preselected) {
      config.KeyIndex = static_cast<uint32_t>(index);
      w->SetCurrentItem(kKeyList, line);
    }
  }
  FillReaskList(w, kReaskList, config.ReaskIndex);
  if (!offers_reask_) {
    // The list keeps the stored item, so OK stores the same value again.
    ShowItem(kReaskLabel, false);
    ShowItem(kReaskList, false);
  }

  const int tabs = w->TabCount(kTab);
  const bool file_page = config.KeyType == 0;
  ShowItem(kKeyList, file_page && tabs >= 2);
  ShowItem(kKeyLabel, file_page && tabs >= 2);
  for (int id : {kPassphraseLabel, kSettings, kPassphrase}) ShowItem(id, file_page);
  for (int id : {kTokenPasswordLabel, kTokenKeyLabel, kTokenPassword, kTokenKeyList, kUpdate, kTokenList,
                 kTokenLabel})
    ShowItem(id, !file_page);

  if (tabs <= 1) {
    // Without the list, the label names the key that will be used.
    const bool named = preselected != nullptr && !preselected->name.empty();
    if (named) w->SetItemText(kKeyLabel, FormatResString(kSecretKeyString, platform::ansi_to_utf8(preselected->name)));
    ShowItem(kKeyLabel, named);
  }
  ShowTokenState();
  OnRefresh();
}

void CSignDlg::OpenKeyManagement() {
  if (!TryBeginBusy()) return;
  Config& config = Config::Instance();
  const int reask = Window()->CurrentItem(kReaskList);
  if (reask >= 0) config.ReaskIndex = static_cast<uint32_t>(reask);

  CEditDlgImp editor;
  editor.SetKeyList(key_list_);
  editor.SetOffersReask(offers_reask_);
  const intptr_t result = editor.DoModal(CEditDlg::kTemplateId, nullptr);
  // Only the entries changed in the editor are stored; keys added meanwhile by
  // another process stay.
  if (std::string why; !key_list_->Save(&why)) ShowSettingsError(kStringSettingsNotSaved, why);
  const KeyListEntry* preselected =
      result == CEditDlg::kResultSelect ? editor.SelectedEntry() : key_list_->At(config.KeyIndex);
  RebuildPage(preselected);
  Window()->SetCurrentItem(kReaskList, static_cast<int>(config.ReaskIndex));
  FocusPasswordField();
  EndBusy();
}

void CSignDlg::OpenScreenKeyboard(int field) {
  if (Config::Instance().VK == 0) return;
  CDlgScreenKeyboardImpl keyboard;
  keyboard.SetTarget(GetItem(field));
  // The field itself only shows one asterisk per character typed.
  if (keyboard.DoModal(CDlgScreenKeyboard::kTemplateId, Window()) == kResultOk &&
      keyboard.Text().size() < kPassphraseCapacity)
    SetPassphrase(keyboard.Text());
}

bool CSignDlg::AcceptFilePage() {
  Config& config = Config::Instance();
  DialogWindow* w = Window();
  const int line = w->CurrentItem(kKeyList);
  if (line >= 0 && w->ItemData(kKeyList, line) != -1)
    config.KeyIndex = static_cast<uint32_t>(w->ItemData(kKeyList, line));
  const int reask = w->CurrentItem(kReaskList);
  if (reask >= 0) config.ReaskIndex = static_cast<uint32_t>(reask);
  if (const KeyListEntry* entry = key_list_->At(config.KeyIndex)) key_path_ = entry->path;
  if (config.VK == 0) TakeTypedPassphrase(kPassphrase);
  user_id_ = ReadKeyFileId(key_path_);
  return true;
}

}  // namespace ui
