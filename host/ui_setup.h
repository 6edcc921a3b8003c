// What the signer's dialogs and messages need inside velixhost: the string
// table, a backend that shows them, and the host log for the dialogs' debug
// lines.
#pragma once

#include <memory>

#include "ui/backends/qt/dialog_startup.h"

class HostUi {
 public:
  // With the dialog module, dialogs and message boxes are shown with its Qt
  // Widgets backend (needs the application object it built); see
  // DialogBackend for what happens without one.
  explicit HostUi(const dialog_module::Interface* dialogs);
  ~HostUi();
  HostUi(const HostUi&) = delete;
  HostUi& operator=(const HostUi&) = delete;

 private:
  std::unique_ptr<DialogBackend> backend_;
};
