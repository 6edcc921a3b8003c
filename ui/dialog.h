// The modal dialog framework: CDialog holds the handlers of one dialog and
// the one dialog procedure body; CDialogImp<T> shows a T modally through the
// active backend.
#pragma once

#include <cstdint>
#include <string>

#include "ui/dialog_backend.h"
#include "ui/dialog_messages.h"
#include "ui/dialog_window.h"
#include "ui/system_command_hook.h"

namespace ui {

// A control of a dialog window; empty when the control does not exist.
struct DialogItem {
  DialogWindow* window = nullptr;
  int id = 0;
  explicit operator bool() const { return window != nullptr; }
};

class CDialog {
 public:
  CDialog() = default;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;
  virtual ~CDialog() = default;

  virtual intptr_t OnCommand(uintptr_t wparam, intptr_t lparam, int code);
  virtual intptr_t OnNotify(DialogWindow* from, uintptr_t id, int code);
  virtual intptr_t OnInitDialog();
  virtual void OnDestroy();
  virtual bool OnOK();
  virtual bool OnCancel();
  virtual bool OnRefresh();
  // A character key pressed where no control takes typing; true when the
  // dialog answered it.
  virtual bool OnTypedKey(char16_t character);

  // The body of every dialog procedure.
  intptr_t HandleMessage(DialogWindow* window, unsigned message, uintptr_t wparam, intptr_t lparam);

  DialogWindow* Window() const { return window_; }
  HookHandle Hook() const { return hook_; }
  bool IsBusy() const { return busy_ != 0; }

 protected:
  DialogItem GetItem(int id) const;
  PixelRect GetItemRect(int id) const;
  void ShowItem(int id, bool show);
  // Re-entrancy guard of the handlers that open a nested window.
  bool TryBeginBusy();
  void EndBusy();

 private:
  int busy_ = 0;
  DialogWindow* window_ = nullptr;  // set at WM_INITDIALOG, never cleared
  HookHandle hook_ = 0;
};

// Binds dialog class T to a dialog procedure. The instance pointer names the
// last instance shown and is never cleared.
template <class T>
class CDialogImp : public T {
 public:
  using T::T;

  intptr_t DoModal(int template_id, DialogWindow* parent) {
    instance_ = this;
    DialogBackend* backend = ActiveDialogBackend();
    if (backend == nullptr) return kResultFailed;
    return backend->RunModal(template_id, parent, &DialogProc);
  }

 private:
  static intptr_t DialogProc(DialogWindow* window, unsigned message, uintptr_t wparam,
                             intptr_t lparam) {
    if (instance_ == nullptr) return 0;
    return instance_->HandleMessage(window, message, wparam, lparam);
  }

  static inline CDialogImp* instance_ = nullptr;
};

}  // namespace ui
