// What the dialog module offers a program (velixhost, velix sign --dialog):
// its Qt Widgets part (the GUI application object and the dialog backend),
// reached through one exported function so that the programs themselves link
// only Qt Core and pay for the widgets only when a dialog may be shown.
#pragma once

class QCoreApplication;

namespace dialog_module {

// Changed whenever Interface changes: a module of another build is refused.
constexpr int kInterfaceVersion = 1;

struct Interface {
  int version;  // kInterfaceVersion of the module's build
  // Builds the GUI application object (a QApplication); argc must outlive it.
  QCoreApplication* (*create_application)(int& argc, char** argv);
  // Makes Qt Widgets the backend of dialogs and message boxes; needs the
  // application object. The result is given back to remove_backend.
  void* (*install_backend)();
  void (*remove_backend)(void* backend);
};

// The name of the module's exported function, of type EntryFunction.
constexpr const char* kEntryName = "velixhost_dialog_module";
using EntryFunction = const Interface*();

}  // namespace dialog_module
