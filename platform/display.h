// Whether a window system can really be reached, asked before any GUI is
// created: a toolkit that cannot open its display ends the process.
#pragma once

#include <string>

namespace platform {

// Opens a connection to the X display that DISPLAY names and closes it again.
// False with *why set when there is none or it refuses us.
bool os_can_open_x11_display(std::string* why);

// The same for the Wayland compositor that WAYLAND_DISPLAY (under
// XDG_RUNTIME_DIR) names.
bool os_can_open_wayland_display(std::string* why);

// Ignores the signal a write to a pipe nobody reads raises: the write fails
// instead, and the process goes on to finish its log.
void os_ignore_broken_pipe();

}  // namespace platform
