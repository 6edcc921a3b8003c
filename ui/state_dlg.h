// The statement dates dialog: the start and the end of the period of an
// account statement, as the date pickers display them.
#pragma once

#include <string>

#include "ui/dialog.h"

namespace ui {

class CStateDlg : public CDialog {
 public:
  static constexpr int kTemplateId = 205;
  static constexpr int kStartDate = 211;
  static constexpr int kEndDate = 213;
  static constexpr size_t kMaxDateLength = 254;

  bool OnOK() override;
  bool OnCancel() override;

  const std::string& FromDate() const { return from_; }
  const std::string& ToDate() const { return to_; }

 private:
  std::string from_;
  std::string to_;
};

using CStateDlgImp = CDialogImp<CStateDlg>;

}  // namespace ui
