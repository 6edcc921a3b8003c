#include "platform/console.h"

#include <fcntl.h>
#include <io.h>

namespace platform {

// The C runtime translates line ends in text mode; the byte streams of the
// native-messaging channel must pass untouched.
void os_set_stdio_binary() {
  _setmode(0, _O_BINARY);
  _setmode(1, _O_BINARY);
}

// A Windows session always has a desktop to show windows on.
bool os_has_display() { return true; }

}  // namespace platform
