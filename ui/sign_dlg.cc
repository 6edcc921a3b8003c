#include "ui/sign_dlg.h"

#include <cstdio>

#include "core/crypto.h"
#include "signer/config.h"
#include "ui/edit_dlg.h"
#include "ui/key_file_id.h"
#include "ui/language.h"
#include "ui/load_string.h"
#include "ui/reask_list.h"

namespace ui {
namespace {

constexpr int kTab = 223;
constexpr int kKeyList = 202;
constexpr int kPassphrase = 201;
constexpr int kReaskList = 204;
constexpr int kLocalFileString = 105;

}  // namespace

CSignDlg::CSignDlg(std::string version) : version_(std::move(version)) {
  SetThreadUiLanguage(Config::Instance().language);
}

CSignDlg::~CSignDlg() { ClearSecrets(); }

void CSignDlg::ClearSecrets() {
  secure_wipe(passphrase_.data(), passphrase_.size());
  passphrase_.clear();
  key_path_.clear();
  user_id_.clear();
}

intptr_t CSignDlg::OnInitDialog() {
  Window()->SetCaption(Window()->Caption() + " " + version_);
  Config& config = Config::Instance();
  config.Load();
  Window()->InsertTab(kTab, 0, LoadResString(kLocalFileString));
  config.KeyType = 0;
  Window()->ResetContent(kKeyList);
  int index = 0;
  for (KeyListEntry* entry = config.keyList.head(); entry != nullptr; entry = entry->next, ++index) {
    if (IsTokenEntry(*entry)) continue;
    const int line = Window()->AddItem(kKeyList, entry->name, index);
    if (static_cast<uint32_t>(index) == config.KeyIndex) Window()->SetCurrentItem(kKeyList, line);
  }
  FillReaskList(Window(), kReaskList, config.ReaskIndex);
  Window()->SetFocus(kPassphrase);
  return 1;
}

intptr_t CSignDlg::OnCommand(uintptr_t, intptr_t, int) { return 0; }

intptr_t CSignDlg::OnNotify(DialogWindow*, uintptr_t, int) { return 0; }

void CSignDlg::OnDestroy() { Config::Instance().keyList.Save(); }

bool CSignDlg::OnOK() {
  Config& config = Config::Instance();
  const int line = Window()->CurrentItem(kKeyList);
  if (line >= 0 && Window()->ItemData(kKeyList, line) != -1)
    config.KeyIndex = static_cast<uint32_t>(Window()->ItemData(kKeyList, line));
  const int reask = Window()->CurrentItem(kReaskList);
  if (reask >= 0) config.ReaskIndex = static_cast<uint32_t>(reask);
  if (const KeyListEntry* entry = config.keyList.At(config.KeyIndex)) key_path_ = entry->path;
  passphrase_ = Window()->ItemText(kPassphrase).substr(0, kPassphraseCapacity - 1);
  user_id_ = ReadKeyFileId(key_path_);
  config.Save();
  reask_seconds_ = ui::ReaskSeconds(config.ReaskIndex);
  return true;
}

bool CSignDlg::OnCancel() {
  ClearSecrets();
  return true;
}

bool CSignDlg::OnRefresh() { return true; }

}  // namespace ui
