// Which Qt platform a program with dialogs (velixhost, velix sign --dialog)
// runs on, decided before the application object exists: Qt ends the process
// when its platform cannot start, and a platform nobody looks at (offscreen,
// minimal) would keep a dialog open for ever.
#pragma once

#include <QByteArray>
#include <QString>

struct DisplayChoice {
  // True when the user can see dialogs; false runs headless, where every
  // dialog answers as Cancel at once.
  bool dialogs = false;
  QByteArray platform;  // the Qt platform chosen ("xcb", "wayland", "offscreen", ...)
  QString reason;       // why there are no dialogs, for the log
};

// Reads the platform the caller asked for ("-platform NAME" among the
// arguments, else QT_QPA_PLATFORM), checks that its display can really be
// opened, or finds one (X11 first, then Wayland) when none was asked for.
// Touches nothing: apply_display_choice() makes Qt start on the choice, so
// the check can also run later, once a dialog is about to be needed.
DisplayChoice choose_display(int argc, char** argv);

// Sets QT_QPA_PLATFORM to the chosen platform and removes any "-platform NAME"
// from the arguments (Qt would prefer it to the variable). Call before the
// application object is built.
void apply_display_choice(const DisplayChoice& choice, int& argc, char** argv);
