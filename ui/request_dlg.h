// The one-line text input dialog and the key file chooser that the key
// management dialog asks names, serial numbers and files with.
#pragma once

#include <string>

#include "ui/dialog.h"

namespace ui {

class CRequestDlg : public CDialog {
 public:
  static constexpr int kTemplateId = 204;
  static constexpr int kEdit = 210;

  // `buffer` holds `capacity` bytes, NUL included: in, the initial text; out,
  // the text entered, or empty after Cancel.
  CRequestDlg(std::string title, char* buffer, int capacity)
      : title_(std::move(title)), buffer_(buffer), capacity_(capacity) {}

  intptr_t OnInitDialog() override;
  bool OnOK() override;
  bool OnCancel() override;

 private:
  std::string title_;
  char* buffer_;
  int capacity_;
};

using CRequestDlgImp = CDialogImp<CRequestDlg>;

// Asks for one line of text; true when the user confirmed with OK.
bool AskText(const std::string& title, char* buffer, int capacity);

// The open-file dialog for a secret key file; `buffer` holds the initial name
// and receives the chosen path. False when cancelled or when the path does
// not fit.
bool ChooseKeyFile(char* buffer, int capacity);

}  // namespace ui
