// velix sign --dialog starts its dialogs as velixhost does: the same display
// check, the same dialog module (Qt Widgets are loaded only here), and without
// a display the same answer, every dialog taken as Cancel.
#include <cstdio>

#include "tools/velix/signer_dialogs.h"
#include "ui/backends/qt/dialog_startup.h"

namespace {

// Qt keeps argc and argv for the application's life.
int g_argc = 1;
char g_program[] = "velix";
char* g_argv[] = {g_program, nullptr};

}  // namespace

struct SignerDialogs::Qt {
  DialogStartup startup = start_dialogs(g_argc, g_argv, true);
  DialogBackend backend{startup.module};
};

SignerDialogs::SignerDialogs() : qt_(std::make_unique<Qt>()) {
  if (!qt_->startup.display.dialogs)
    std::fprintf(stderr, "velix: no dialogs, every one answers as Cancel: %s\n",
                 qt_->startup.display.reason.toLocal8Bit().constData());
}

SignerDialogs::~SignerDialogs() = default;
