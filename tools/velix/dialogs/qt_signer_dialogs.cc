#include "tools/velix/signer_dialogs.h"

#include <QApplication>

#include "tools/velix/exit_codes.h"
#include "ui/backends/qt/display_choice.h"
#include "ui/backends/qt/qt_backend.h"

namespace {

// Qt keeps argc and argv for the application's life.
int g_argc = 1;
char g_program[] = "velix";
char* g_argv[] = {g_program, nullptr};

}  // namespace

struct SignerDialogs::Qt {
  QApplication application{g_argc, g_argv};
  ui::qt::QtDialogBackend backend;
};

SignerDialogs::SignerDialogs() {
  const DisplayChoice display = choose_display(g_argc, g_argv);
  if (!display.dialogs)
    throw CommandFailure{kExitBadInput, "--dialog needs a display: " + display.reason.toStdString()};
  apply_display_choice(display, g_argc, g_argv);
  qt_ = std::make_unique<Qt>();
}

SignerDialogs::~SignerDialogs() = default;
