// The user authorization dialog: the user picks the key for the next signing
// operations (a key file from the key list, or a key on a PKCS#11 token) and
// types its passphrase. The dialog does not open the key; it hands back where
// the key is, the passphrase and the "Ask again" interval, and keeps the
// user's choices in Config.
//
// Two pages share one template: the file page (key list 202, passphrase 201)
// and the token page (token list 492, token password 227, token keys 229).
// Config's KeyType records which page is shown; the tab control, the token
// list and the key management dialog move between them, and every move
// rebuilds the page.
#pragma once

#include <cstdint>
#include <string>

#include "core/core.h"
#include "settings/key_list.h"
#include "ui/dialog.h"

namespace ui {

class CSignDlg : public CDialog {
 public:
  static constexpr int kTemplateId = 201;
  static constexpr size_t kPathCapacity = 4096;
  static constexpr size_t kPassphraseCapacity = 255;  // at most 254 characters
  static constexpr size_t kUserIdCapacity = 255;
  static constexpr int kTokenNameCapacity = 255;
  static constexpr int kMaxTokenKeys = 64;
  // Shown on the token page and in the box when a login is refused.
  static constexpr int kPinLockedString = 169;  // "The PIN is locked"

  // Control ids.
  static constexpr int kPassphrase = 201;
  static constexpr int kKeyList = 202;
  static constexpr int kSettings = 203;
  static constexpr int kReaskList = 204;
  static constexpr int kTab = 223;
  static constexpr int kKeyLabel = 224;
  static constexpr int kPassphraseLabel = 225;
  static constexpr int kTokenPasswordLabel = 226;
  static constexpr int kTokenPassword = 227;
  static constexpr int kUpdate = 228;
  static constexpr int kTokenKeyList = 229;
  static constexpr int kTokenKeyLabel = 232;
  static constexpr int kFileLayoutIndicator = 282;
  static constexpr int kTokenLayoutIndicator = 283;
  static constexpr int kReaskLabel = 489;
  static constexpr int kTokenList = 492;
  static constexpr int kTokenLabel = 493;
  static constexpr int kTokenNotice = 494;
  static constexpr int kSiteLabel = 495;
  static constexpr int kSite = 496;
  static constexpr int kTextLabel = 497;
  static constexpr int kTextView = 498;

  // What the token page knows of the chosen token before the PIN is typed.
  enum class TokenState { kUsual, kTriesLeft, kCountLow, kFinalTry, kLocked, kPinPad, kAbsent };

  // Applies Config's language to the thread. The caption shows the program's
  // version after the title.
  explicit CSignDlg(std::string version = "1.0.0.345");
  ~CSignDlg() override;

  // Outputs, valid after DoModal returned 1. Key path in UTF-8; passphrase
  // and user ID in the ANSI code page.
  const std::string& KeyPath() const { return key_path_; }
  const std::string& Passphrase() const { return passphrase_; }
  const std::string& UserId() const { return user_id_; }
  int32_t ReaskSeconds() const { return reask_seconds_; }
  int32_t TokenEngine() const { return token_engine_; }
  int32_t TokenIndex() const { return token_index_; }
  // The chosen token's reader has a PIN pad: the passphrase is empty and the
  // token asks the user itself.
  bool PinPadLogin() const { return pin_pad_login_; }
  // Whether the "Ask again" choice is offered (velixcom); velixhost ends with
  // each request, so it hides the choice and keeps the stored value.
  void SetOffersReask(bool offers) { offers_reask_ = offers; }

  // The name a token is listed under: model\label and the serial number, so
  // that two tokens of one model differ; empty for a token that cannot be
  // used (not initialised, or write-protected like p11-kit's trust tokens).
  static std::string ListedTokenName(int16_t engine, int index);

  intptr_t OnInitDialog() override;
  intptr_t OnCommand(uintptr_t wparam, intptr_t lparam, int code) override;
  intptr_t OnNotify(DialogWindow* from, uintptr_t id, int code) override;
  bool OnOK() override;
  bool OnCancel() override;
  bool OnRefresh() override;

 protected:
  // Zeroes key path, passphrase and user ID (wiping the passphrase).
  void ClearSecrets();
  // Replaces the passphrase, wiping the old one; at most 254 characters are kept.
  void SetPassphrase(const std::string& text);
  // The passphrase typed into edit `field`, in the ANSI code page.
  void TakeTypedPassphrase(int field);

  // The site that asks and what will be signed, above the pages.
  void ShowTextToSign();

  // Pages (sign_dlg_page.cc).
  void ApplyLayoutWithoutTokens();
  void PostPageSwitch();
  void SwitchPage();
  void RebuildPage(const KeyListEntry* preselected);
  void FocusPasswordField();
  void OpenKeyManagement();
  void OpenScreenKeyboard(int field);
  bool AcceptFilePage();

  // Tokens (sign_dlg_token.cc).
  // Fills the token list from the token engines; returns the number of tokens.
  int FillTokenList();
  // The engine of the token list's current item; -1 when none is current.
  int16_t SelectedTokenEngine() const;
  // The UTF-8 form of the token list's text.
  std::string SelectedTokenNameUtf8() const;
  // The index within `engine` of the token named like the token list's text; -1 when none.
  int FindTokenIndex(int16_t engine) const;
  // How a key found on a token is listed.
  std::string TokenKeyName(uint32_t serial, const std::string& user_id) const;
  void ListStoredTokenKey();
  // The password from its field (the on-screen keyboard sets it itself);
  // false after a warning when there is none.
  bool TakeTokenPassword();
  bool TokenLogin();
  bool AcceptTokenPage();

  // Token state (sign_dlg_token_state.cc).
  // Whether the list's text names the token stored in Config (also as stored
  // before names carried the serial number).
  bool IsStoredToken(const std::string& name_utf8) const;
  // Reads the selected token's flags and shows what they mean on the page;
  // a locked PIN leaves nothing to type or confirm on the token page.
  void ShowTokenState();
  // The user PIN tries the token has left, as its vendor's library reports
  // them; -1 when it does not say.
  static int PinTriesLeft(int16_t engine);
  // Saves Config; a file key used only because the stored token was absent
  // leaves the stored token choice as it was.
  void SaveChoices();

  KeyList* key_list_;
  std::string key_path_;
  std::string passphrase_;
  std::string user_id_;
  int32_t reask_seconds_ = 0;
  int32_t token_engine_ = 2;
  int32_t token_index_ = 0;
  bool pin_pad_login_ = false;
  bool offers_reask_ = true;
  TokenState token_state_ = TokenState::kUsual;
  int pin_tries_left_ = -1;  // with kTriesLeft
  // The stored choice was a token that is not present, and the dialog fell
  // back to key files without the user choosing so.
  bool keep_token_choice_ = false;
  bool stored_token_absent_ = false;
  std::string version_;
  // The page switch the dialog posts to itself; it must outlive the message.
  NotifyHeader page_switch_{nullptr, static_cast<uintptr_t>(kTab), kTabSelChange};
};

using CSignDlgImp = CDialogImp<CSignDlg>;

}  // namespace ui
