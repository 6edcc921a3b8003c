#include "ui/backends/qt/dialog_startup.h"

#include <string>

#include "ui/backends/qt/dialog_module.h"

DialogStartup start_dialogs(int& argc, char** argv, bool wanted) {
  DialogStartup startup;
  startup.display = choose_display(argc, argv);
  if (wanted && startup.display.dialogs) {
    std::string why;
    startup.module = load_dialog_module(&why);
    if (startup.module == nullptr) startup.display = {false, "offscreen", QString::fromStdString(why)};
  }
  apply_display_choice(startup.display, argc, argv);
  startup.application.reset(startup.module != nullptr ? startup.module->create_application(argc, argv)
                                                       : new QCoreApplication(argc, argv));
  return startup;
}

DialogBackend::DialogBackend(const dialog_module::Interface* module) : module_(module) {
  if (module_ != nullptr) backend_ = module_->install_backend();
}

DialogBackend::~DialogBackend() {
  if (backend_ != nullptr) module_->remove_backend(backend_);
}
