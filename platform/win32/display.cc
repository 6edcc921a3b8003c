// Windows has its desktop and no X11 or Wayland; a write to a pipe nobody
// reads fails by itself, with no signal to ignore.
#include "platform/display.h"

namespace platform {

bool os_can_open_x11_display(std::string* why) {
  *why = "there is no X11 on Windows";
  return false;
}

bool os_can_open_wayland_display(std::string* why) {
  *why = "there is no Wayland on Windows";
  return false;
}

void os_ignore_broken_pipe() {}

}  // namespace platform
