// What a program started by another one needs to know about its console and
// screen: byte-exact standard streams and whether a display is there at all.
#pragma once

namespace platform {

// Switches file descriptors 0 and 1 to binary mode, so that no byte is
// translated on the way in or out. Stays in force for the rest of the process.
void os_set_stdio_binary();

// True when the session has a display that windows can be shown on.
bool os_has_display();

}  // namespace platform
