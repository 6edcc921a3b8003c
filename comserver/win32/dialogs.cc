#include "comserver/win32/dialogs.h"

#include "ui/backends/win32/win32_backend.h"

void use_win32_dialogs() {
  // Lives until the library unloads; by then no call runs a dialog.
  static ui::win32::Win32DialogBackend backend;
}
