// velixhost.exe links its dialogs in: the Win32 backend needs no toolkit of
// its own, so there is no module to load and Qt Core's application object is
// all the program builds.
#include <QCoreApplication>

#include "ui/backends/qt/dialog_module.h"
#include "ui/backends/win32/win32_backend.h"

namespace {

QCoreApplication* create_application(int& argc, char** argv) { return new QCoreApplication(argc, argv); }

void* install_backend() { return new ui::win32::Win32DialogBackend(); }

void remove_backend(void* backend) { delete static_cast<ui::win32::Win32DialogBackend*>(backend); }

constexpr dialog_module::Interface kInterface = {dialog_module::kInterfaceVersion, &create_application,
                                                &install_backend, &remove_backend};

}  // namespace

const dialog_module::Interface* load_dialog_module(std::string*) { return &kInterface; }
