// On Windows the desktop is always there: dialogs are shown with the Win32
// backend, and Qt Core needs no platform chosen.
#include "ui/backends/qt/display_choice.h"

DisplayChoice choose_display(int, char**) { return {true, "windows", {}}; }

void apply_display_choice(const DisplayChoice&, int&, char**) {}
