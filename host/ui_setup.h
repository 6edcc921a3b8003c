// What the signer's dialogs and messages need inside velixhost: the string
// table, a backend that shows them, and the host log for the dialogs' debug
// lines.
#pragma once

#include "host/dialog_module_interface.h"

class HostUi {
 public:
  // With the dialog module, dialogs and message boxes are shown with its Qt
  // Widgets backend (needs the application object it built). Without one no
  // backend is installed: every dialog fails as one that cannot be created
  // (the signer takes that as Cancel) and no message box is shown, so a
  // request without a display is answered at once.
  explicit HostUi(const host_dialogs::Interface* dialogs);
  ~HostUi();
  HostUi(const HostUi&) = delete;
  HostUi& operator=(const HostUi&) = delete;

 private:
  const host_dialogs::Interface* dialogs_;
  void* backend_ = nullptr;
};
