#include "ui/state_dlg.h"

namespace ui {

bool CStateDlg::OnOK() {
  from_ = Window()->ItemText(kStartDate).substr(0, kMaxDateLength);
  to_ = Window()->ItemText(kEndDate).substr(0, kMaxDateLength);
  return true;
}

bool CStateDlg::OnCancel() {
  from_.clear();
  to_.clear();
  return true;
}

}  // namespace ui
