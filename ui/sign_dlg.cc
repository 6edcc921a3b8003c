#include "ui/sign_dlg.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/crypto.h"
#include "platform/codepage.h"
#include "settings/config.h"
#include "ui/debug_log.h"
#include "ui/language.h"
#include "ui/load_string.h"
#include "ui/reask_list.h"
#include "ui/request_origin.h"
#include "ui/settings_messages.h"
#include "ui/text_to_sign.h"

namespace ui {
namespace {

constexpr int kLocalFileString = 105;
constexpr const char* kTokenTabText = "Token";  // the same in both languages

}  // namespace

CSignDlg::CSignDlg(std::string version)
    : key_list_(&Config::Instance().keyList), version_(std::move(version)) {
  SetThreadUiLanguage(Config::Instance().language);
  // Room for the longest passphrase, so that it is never moved (and an
  // unwiped copy left behind) while it is replaced.
  passphrase_.reserve(kPassphraseCapacity);
}

CSignDlg::~CSignDlg() { ClearSecrets(); }

void CSignDlg::ClearSecrets() {
  SetPassphrase("");
  key_path_.clear();
  user_id_.clear();
}

void CSignDlg::SetPassphrase(const std::string& text) {
  secure_wipe(passphrase_.data(), passphrase_.size());
  passphrase_.assign(text, 0, std::min(text.size(), kPassphraseCapacity - 1));
}

void CSignDlg::TakeTypedPassphrase(int field) {
  std::string typed = Window()->ItemText(field);
  // A character the ANSI code page cannot hold cannot be part of a passphrase
  // (it would be a "?"): such a text counts as no passphrase at all.
  std::string ansi = platform::utf8_to_ansi_exact(typed).value_or("");
  SetPassphrase(ansi);
  secure_wipe(typed.data(), typed.size());
  secure_wipe(ansi.data(), ansi.size());
}

intptr_t CSignDlg::OnInitDialog() {
  char caption[1024];
  std::snprintf(caption, sizeof caption, "%s %s", Window()->Caption().c_str(), version_.c_str());
  // A page's request names its site after the version, so the user sees who asks.
  const std::string origin = RequestOriginCaption();
  if (!origin.empty())
    std::snprintf(caption + std::strlen(caption), sizeof caption - std::strlen(caption), " (%s)", origin.c_str());
  Window()->SetCaption(caption);
  ShowRequestOrigin(Window(), kSiteLabel, kSite);
  ShowTextToSign();
  // The dialog's thread is the caller's: there is no foreign input queue to
  // attach to here, so the focus is taken by making the window top-most alone.
  Config& config = Config::Instance();
  config.Load();

  Window()->InsertTab(kTab, 0, LoadResString(kLocalFileString));
  const int tokens = FillTokenList();
  if (tokens > 0) {
    Window()->InsertTab(kTab, 1, kTokenTabText);
    DebugLog("has " + std::to_string(tokens) + " tokens");
  }
  if (Window()->TabCount(kTab) == 1) {
    DebugLog("interface without tokens run");
    ApplyLayoutWithoutTokens();
    // A stored token choice outlives a run without the token.
    keep_token_choice_ = config.KeyType != 0 && !config.tokenName.empty();
    config.KeyType = 0;
  } else if (config.KeyType != 0) {
    Window()->SetCurrentTab(kTab, 1);
  }
  // The page is built once the dialog is on screen.
  PostPageSwitch();
  return 1;
}

void CSignDlg::ShowTextToSign() {
  // Without a text (choosing a key alone) there is nothing to show.
  const bool shown = HasTextToSign();
  ShowItem(kTextLabel, shown);
  ShowItem(kTextView, shown);
  if (shown) Window()->SetItemText(kTextView, TextToSignForDisplay());
}

intptr_t CSignDlg::OnCommand(uintptr_t wparam, intptr_t, int code) {
  const Config& config = Config::Instance();
  switch (CommandId(wparam)) {
    case kSettings:
      OpenKeyManagement();
      return 1;
    case kUpdate:
      TokenLogin();
      return 1;
    case kPassphrase:
      if (code != kEditSetFocus || config.VK == 0) return 0;
      // The field is typed on the on-screen keyboard only: the focus leaves it
      // so that the keyboard is not opened again when it closes.
      Window()->SetFocus(kCmdOk);
      Window()->ShowDialog();
      OpenScreenKeyboard(kPassphrase);
      return 1;
    case kTokenPassword:
      if (code != kEditSetFocus || config.VK == 0) return 0;
      if (Window()->ItemText(kTokenList).empty()) Window()->SetFocus(kTokenList);
      else if (config.eTokenKeySerial != 0) Window()->SetFocus(kCmdOk);
      else Window()->SetFocus(kUpdate);
      Window()->ShowDialog();
      OpenScreenKeyboard(kTokenPassword);
      return 1;
    case kTokenList:
      if (code == kComboSelChange) PostPageSwitch();
      return 1;
    default:
      return 0;
  }
}

intptr_t CSignDlg::OnNotify(DialogWindow*, uintptr_t, int code) {
  if (code != kTabSelChange) return 0;
  SwitchPage();
  return 1;
}

bool CSignDlg::OnOK() {
  Config& config = Config::Instance();
  const bool accepted = config.KeyType == 0 ? AcceptFilePage() : AcceptTokenPage();
  if (!accepted) return false;
  SaveChoices();
  reask_seconds_ = ui::ReaskSeconds(config.ReaskIndex);
  return true;
}

bool CSignDlg::OnCancel() {
  ClearSecrets();
  return true;
}

bool CSignDlg::OnRefresh() {
  std::string language;
  if (const DialogBackend* backend = ActiveDialogBackend()) language = backend->KeyboardLayoutLanguage();
  std::transform(language.begin(), language.end(), language.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  // Only the indicator beside the visible password field is shown.
  const bool file_page = Config::Instance().KeyType == 0;
  ShowItem(kFileLayoutIndicator, file_page);
  ShowItem(kTokenLayoutIndicator, !file_page && token_state_ != TokenState::kPinPad);
  Window()->SetItemText(kFileLayoutIndicator, language);
  Window()->SetItemText(kTokenLayoutIndicator, language);
  return true;
}

}  // namespace ui
