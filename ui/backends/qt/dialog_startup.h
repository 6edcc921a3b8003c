// How a program that may show dialogs starts Qt: velixhost and velix sign
// --dialog start the same way, so they make the same display check, load the
// same dialog module and answer the same way without a display.
#pragma once

#include <QCoreApplication>

#include <memory>

#include "ui/backends/qt/dialog_module_interface.h"
#include "ui/backends/qt/display_choice.h"

struct DialogStartup {
  // The display found; dialogs is false (with the reason) when none can be
  // shown, also when the dialog module cannot be loaded.
  DisplayChoice display;
  // The dialog module, loaded only when dialogs were wanted and can be shown.
  const dialog_module::Interface* module = nullptr;
  // The module's QApplication, else a bare QCoreApplication.
  std::unique_ptr<QCoreApplication> application;
};

// Chooses the display (always, so a log tells the same whatever was asked);
// when `wanted` and the display can be opened, loads the dialog module and
// builds its application object, else Qt Core's. argc must outlive the
// result.
DialogStartup start_dialogs(int& argc, char** argv, bool wanted);

// While it lives, the module's Qt Widgets backend shows dialogs and message
// boxes. Without a module nothing is installed: every dialog fails as one
// that cannot be created, which the signer takes as Cancel, and no message
// box is shown, so a request without a display is answered at once.
class DialogBackend {
 public:
  explicit DialogBackend(const dialog_module::Interface* module);
  ~DialogBackend();
  DialogBackend(const DialogBackend&) = delete;
  DialogBackend& operator=(const DialogBackend&) = delete;

 private:
  const dialog_module::Interface* module_;
  void* backend_ = nullptr;
};
