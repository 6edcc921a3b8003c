#include "ui/backends/qt/dialog_module.h"

#include "platform/dynamic_library.h"
#include "platform/module_path.h"

namespace {

// Where this program's dialog module is; empty when the program's own path
// cannot be found.
std::string dialog_module_path() {
  const std::string program = platform::executable_file_name();
  const size_t slash = program.find_last_of("/\\");
  if (slash == std::string::npos) return {};
  return program.substr(0, slash + 1) + VELIX_DIALOG_MODULE;
}

}  // namespace

const dialog_module::Interface* load_dialog_module(std::string* why) {
  const std::string path = dialog_module_path();
  if (path.empty()) {
    *why = "the program cannot find its own path, and so the dialog module";
    return nullptr;
  }
  platform::LibraryHandle module = platform::load_library(path.c_str());
  if (module == nullptr) {
    *why = "the dialog module cannot be loaded: " + platform::last_library_error();
    return nullptr;
  }
  auto* entry = reinterpret_cast<dialog_module::EntryFunction*>(
      platform::library_symbol(module, dialog_module::kEntryName));
  const dialog_module::Interface* dialogs = entry == nullptr ? nullptr : entry();
  if (dialogs == nullptr || dialogs->version != dialog_module::kInterfaceVersion) {
    platform::free_library(module);
    *why = "the dialog module " + path + " belongs to another build of velix";
    return nullptr;
  }
  return dialogs;
}
