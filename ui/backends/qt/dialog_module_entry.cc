// The dialog module: the only code of velixhost and velix that needs Qt GUI
// and Widgets. It is loaded (dlopen) only when a dialog may be shown; the
// signer and the dialog runtime it drives stay in the program, which exports
// them to this module.
#include <QApplication>

#include "ui/backends/qt/dialog_module_interface.h"
#include "ui/backends/qt/qt_backend.h"

namespace {

QCoreApplication* create_application(int& argc, char** argv) {
  // The dialogs are plain widgets: without OpenGL, Qt's X11 platform does not
  // set up GLX for the first window, which costs as much as the rest of the
  // start-up on a machine with software rendering. A caller's choice stands.
  if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION")) qputenv("QT_XCB_GL_INTEGRATION", "none");
  return new QApplication(argc, argv);
}

void* install_backend() { return new ui::qt::QtDialogBackend(); }

void remove_backend(void* backend) { delete static_cast<ui::qt::QtDialogBackend*>(backend); }

constexpr dialog_module::Interface kInterface = {dialog_module::kInterfaceVersion, &create_application,
                                                &install_backend, &remove_backend};

}  // namespace

extern "C" __attribute__((visibility("default"))) const dialog_module::Interface* velixhost_dialog_module() {
  return &kInterface;
}
