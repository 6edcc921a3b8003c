// The user authorization dialog: the user picks the key for the next signing
// operations (a key file from the key list, or a key on a PKCS#11 token) and
// types its passphrase. The dialog does not open the key; it hands back where
// the key is, the passphrase and the "Ask again" interval, and keeps the
// user's choices in Config.
#pragma once

#include <cstdint>
#include <string>

#include "ui/dialog.h"

namespace ui {

class CSignDlg : public CDialog {
 public:
  static constexpr int kTemplateId = 201;
  static constexpr size_t kPathCapacity = 4096;
  static constexpr size_t kPassphraseCapacity = 255;  // at most 254 characters
  static constexpr size_t kUserIdCapacity = 255;

  // Applies Config's language to the thread. The caption shows the program's
  // version after the title.
  explicit CSignDlg(std::string version = "1.0.0.345");
  ~CSignDlg() override;

  // Outputs, valid after DoModal returned 1. Texts are in the ANSI code page.
  const std::string& KeyPath() const { return key_path_; }
  const std::string& Passphrase() const { return passphrase_; }
  const std::string& UserId() const { return user_id_; }
  int32_t ReaskSeconds() const { return reask_seconds_; }
  int32_t TokenEngine() const { return token_engine_; }
  int32_t TokenIndex() const { return token_index_; }

  intptr_t OnInitDialog() override;
  intptr_t OnCommand(uintptr_t wparam, intptr_t lparam, int code) override;
  intptr_t OnNotify(DialogWindow* from, uintptr_t id, int code) override;
  void OnDestroy() override;
  bool OnOK() override;
  bool OnCancel() override;
  bool OnRefresh() override;

 protected:
  // Zeroes key path, passphrase and user ID (wiping the passphrase).
  void ClearSecrets();

  std::string key_path_;
  std::string passphrase_;
  std::string user_id_;
  int32_t reask_seconds_ = 0;
  int32_t token_engine_ = 2;
  int32_t token_index_ = 0;
  std::string version_;
};

using CSignDlgImp = CDialogImp<CSignDlg>;

}  // namespace ui
