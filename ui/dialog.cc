#include "ui/dialog.h"

namespace ui {

intptr_t CDialog::OnCommand(uintptr_t, intptr_t, int) { return 0; }
intptr_t CDialog::OnNotify(DialogWindow*, uintptr_t, int) { return 0; }
intptr_t CDialog::OnInitDialog() { return 1; }
void CDialog::OnDestroy() {}
bool CDialog::OnOK() { return true; }
bool CDialog::OnCancel() { return true; }
bool CDialog::OnRefresh() { return true; }
bool CDialog::OnTypedKey(char16_t) { return false; }

intptr_t CDialog::HandleMessage(DialogWindow* window, unsigned message, uintptr_t wparam,
                                intptr_t lparam) {
  switch (message) {
    case kMsgInitDialog:
      SetSystemCommandTarget(window);
      hook_ = InstallSystemCommandHook();
      window_ = window;
      window->MakeTopMost();
      return OnInitDialog();
    case kMsgDestroy:
      RemoveSystemCommandHook(hook_);
      hook_ = 0;
      OnDestroy();
      return 1;
    case kMsgNotify: {
      const auto* header = reinterpret_cast<const NotifyHeader*>(lparam);
      if (header == nullptr) return 0;
      return OnNotify(header->window, header->id, header->code);
    }
    case kMsgCommand:
      switch (CommandId(wparam)) {
        case kCmdOk:
          if (OnOK()) window->EndDialog(kResultOk);
          return 1;
        case kCmdCancel:
          if (OnCancel()) window->EndDialog(kResultCancel);
          return 1;
        default:
          return OnCommand(wparam, lparam, CommandCode(wparam));
      }
    case kMsgRefresh:
      return OnRefresh() ? 1 : 0;
    case kMsgTypedKey:
      return OnTypedKey(static_cast<char16_t>(wparam)) ? 1 : 0;
    default:
      return 0;
  }
}

DialogItem CDialog::GetItem(int id) const {
  if (window_ == nullptr || !window_->HasItem(id)) return {};
  return {window_, id};
}

PixelRect CDialog::GetItemRect(int id) const {
  if (window_ == nullptr || !window_->HasItem(id)) return {};
  return window_->ItemRect(id);
}

void CDialog::ShowItem(int id, bool show) {
  if (window_ != nullptr && window_->HasItem(id)) window_->ShowItem(id, show);
}

bool CDialog::TryBeginBusy() {
  if (busy_) return false;
  busy_ = 1;
  return true;
}

void CDialog::EndBusy() { busy_ = 0; }

}  // namespace ui
