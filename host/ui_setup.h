// What the signer's dialogs and messages need inside velixhost: the string
// table, a backend that shows them, and the host log for the dialogs' debug
// lines.
#pragma once

#include <memory>

namespace ui::qt {
class QtDialogBackend;
}

class HostUi {
 public:
  // kWidgets shows dialogs and message boxes with Qt Widgets. kNoDisplay
  // installs no backend: every dialog fails as one that cannot be created
  // (the signer takes that as Cancel) and no message box is shown, so a
  // request without a display is answered at once.
  enum class Mode { kWidgets, kNoDisplay };

  // Needs the application object.
  explicit HostUi(Mode mode);
  ~HostUi();
  HostUi(const HostUi&) = delete;
  HostUi& operator=(const HostUi&) = delete;

 private:
  std::unique_ptr<ui::qt::QtDialogBackend> backend_;
};
