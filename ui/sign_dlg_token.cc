// The authorization dialog's token page: the token list, logging in to a
// token, how token keys are named, and the token page's OK. The token engines
// are reached through the core's control call. Token names are UTF-8 there and
// in the dialog; token passwords are UTF-8 there and kept in the ANSI code page
// here, like passphrases.
#include <algorithm>
#include <cstring>

#include "core/crypto.h"
#include "platform/codepage.h"
#include "settings/config.h"
#include "ui/load_string.h"
#include "ui/message_box.h"
#include "ui/sign_dlg.h"

namespace ui {
namespace {

constexpr int kErrorCaption = 101;        // "Error"
constexpr int kNoTokenKeys = 102;         // "No private keys on your Token. ..."
constexpr int kInvalidPassphrase = 103;   // "Invalid passphrase"
constexpr int kInsertToken = 104;         // "Insert Token"
constexpr int kEnterTokenPassword = 110;  // "Enter passphrase for Token."
constexpr int kChooseKeyString = 192;     // "Select a private key in the list."

constexpr int16_t kTokenEngines[] = {ENGINE_PKCS11, ENGINE_PKCS11_EXT, ENGINE_PKCS11_ID};

std::string AnsiToUtf8(const std::string& text) {
  return platform::convert_code_page(text, platform::ansi_code_page(), platform::kCodePageUtf8).value_or("");
}

// The name token `index` of `engine` is listed under (UTF-8); empty when it is not listed.
std::string TokenName(int16_t engine, int index) { return CSignDlg::ListedTokenName(engine, index); }

// A key record's user ID fills its field without a NUL when it is that long.
std::string UserIdOf(const KeyHandle& key) {
  return std::string(key.user_id, strnlen(key.user_id, sizeof key.user_id));
}

}  // namespace

int CSignDlg::FillTokenList() {
  DialogWindow* w = Window();
  w->ResetContent(kTokenList);
  int tokens = 0;
  for (const int16_t engine : kTokenEngines) {
    const int count = core_ctrl(engine, CTRL_TOKEN_COUNT);
    if (count <= 0) continue;  // no library, or no token in its readers
    for (int i = 0; i < count; ++i) {
      const std::string name = TokenName(engine, i);
      if (name.empty()) continue;  // not initialised, or cannot hold keys
      w->AddItem(kTokenList, name, engine);
      ++tokens;
    }
  }
  const Config& config = Config::Instance();
  const int stored = w->FindItemPrefix(kTokenList, config.tokenName);
  w->SetCurrentItem(kTokenList, stored);
  stored_token_absent_ = config.KeyType != 0 && !config.tokenName.empty() && stored < 0;
  return tokens;
}

int16_t CSignDlg::SelectedTokenEngine() const {
  const int line = Window()->CurrentItem(kTokenList);
  return line < 0 ? -1 : static_cast<int16_t>(Window()->ItemData(kTokenList, line));
}

std::string CSignDlg::SelectedTokenNameUtf8() const { return Window()->ItemText(kTokenList); }

int CSignDlg::FindTokenIndex(int16_t engine) const {
  const std::string wanted = SelectedTokenNameUtf8();
  const int count = core_ctrl(engine, CTRL_TOKEN_COUNT);
  for (int i = 0; i < count; ++i) {
    if (TokenName(engine, i) == wanted) return i;
  }
  return -1;
}

std::string CSignDlg::TokenKeyName(uint32_t serial, const std::string& user_id) const {
  const std::string serial_text = std::to_string(serial);
  for (const KeyListEntry* entry = key_list_->head(); entry != nullptr; entry = entry->next) {
    if (entry->path == serial_text) return entry->name;
    // An empty user ID occurs in every path; it names no entry.
    if (!user_id.empty() && entry->path.find(user_id) != std::string::npos)
      return entry->name + " [" + user_id + "]";
  }
  return user_id + " [" + serial_text + "]";
}

void CSignDlg::ListStoredTokenKey() {
  DialogWindow* w = Window();
  w->ResetContent(kTokenKeyList);
  const Config& config = Config::Instance();
  if (!IsStoredToken(SelectedTokenNameUtf8())) return;
  const uint32_t serial = config.eTokenKeySerial;
  std::string text = std::to_string(serial);
  KeyHandle key{};
  if (core_open_public_key_by_serial(SelectedTokenEngine(), serial, &key) == 0) {
    text = platform::ansi_to_utf8(TokenKeyName(key.serial, UserIdOf(key)));
    core_close_key(&key);
  }
  w->SetCurrentItem(kTokenKeyList, w->AddItem(kTokenKeyList, text, serial));
}

bool CSignDlg::TakeTokenPassword() {
  if (token_state_ == TokenState::kPinPad) {
    SetPassphrase("");  // the user types the PIN on the reader
    return true;
  }
  if (Config::Instance().VK == 0) TakeTypedPassphrase(kTokenPassword);
  if (!passphrase_.empty()) return true;
  ShowMessageBoxFromStrings(kEnterTokenPassword, kErrorCaption, kMbOk | kMbIconWarning);
  return false;
}

bool CSignDlg::TokenLogin() {
  const Config& config = Config::Instance();
  DialogWindow* w = Window();
  if (token_state_ == TokenState::kLocked) {
    // Another try would be refused by the token; do not send the PIN at all.
    ShowMessageBoxFromStrings(kPinLockedString, kErrorCaption, kMbOk | kMbIconWarning);
    return false;
  }
  if (!TakeTokenPassword()) return false;
  w->ResetContent(kTokenKeyList);
  const int16_t engine = SelectedTokenEngine();
  core_ctrl(engine, CTRL_SELECT_TOKEN, FindTokenIndex(engine));
  std::string pin = AnsiToUtf8(passphrase_);
  // A wrong password shows in the listing; an empty one lets a PIN pad ask.
  core_ctrl(engine, CTRL_SET_PIN, pin.c_str());
  secure_wipe(pin.data(), pin.size());

  KeyHandle keys[kMaxTokenKeys] = {};
  const int found = core_ctrl(engine, CTRL_LIST_SECRET_KEYS, keys, kMaxTokenKeys);
  if (found > 0) {
    for (int i = 0; i < std::min(found, kMaxTokenKeys); ++i)
      w->AddItem(kTokenKeyList, platform::ansi_to_utf8(TokenKeyName(keys[i].serial, UserIdOf(keys[i]))),
                 keys[i].serial);
    // The key used last, else the only one; among several new ones the user chooses.
    int selected = w->ItemCount(kTokenKeyList) == 1 ? 0 : -1;
    for (int line = 0; line < w->ItemCount(kTokenKeyList); ++line) {
      if (static_cast<uint32_t>(w->ItemData(kTokenKeyList, line)) == config.eTokenKeySerial) {
        selected = line;
        break;
      }
    }
    w->SetCurrentItem(kTokenKeyList, selected);
    w->SetFocus(selected >= 0 ? kCmdOk : kTokenKeyList);
    return true;
  }
  if (found == 0) ShowMessageBoxFromStrings(kNoTokenKeys, kErrorCaption, kMbOk | kMbIconWarning);
  else if (found == CORE_E_PASSPHRASE) ShowMessageBoxFromStrings(kInvalidPassphrase, kErrorCaption, kMbOk | kMbIconWarning);
  else ShowMessageBoxFromStrings(kInsertToken, kErrorCaption, kMbOk | kMbIconInformation);
  return false;
}

bool CSignDlg::AcceptTokenPage() {
  Config& config = Config::Instance();
  DialogWindow* w = Window();
  if (token_state_ == TokenState::kLocked) return TokenLogin();  // says that the PIN is locked
  if (!TakeTokenPassword()) return false;
  pin_pad_login_ = token_state_ == TokenState::kPinPad;
  int key_line = w->CurrentItem(kTokenKeyList);
  if (key_line < 0) {
    // Log in and list the keys: the remembered or only key goes on at once;
    // among several the user picks one.
    if (!TokenLogin()) return false;
    key_line = w->CurrentItem(kTokenKeyList);
    if (key_line < 0) {
      ShowMessageBoxFromStrings(kChooseKeyString, kErrorCaption, kMbOk | kMbIconWarning);
      w->ShowDropDown(kTokenKeyList, true);
      return false;
    }
  }
  const intptr_t serial = w->ItemData(kTokenKeyList, key_line);
  if (serial != -1) config.eTokenKeySerial = static_cast<uint32_t>(serial);
  const int16_t engine = SelectedTokenEngine();
  token_engine_ = engine;
  token_index_ = FindTokenIndex(engine);
  if (!w->ItemText(kTokenList).empty()) config.tokenName = SelectedTokenNameUtf8();
  // The "Ask again" choice counts on this page as on the file page.
  const int reask = w->CurrentItem(kReaskList);
  if (reask >= 0) config.ReaskIndex = static_cast<uint32_t>(reask);
  return true;
}

}  // namespace ui
