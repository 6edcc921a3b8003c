// What a program started by another one needs of its console: byte-exact
// standard streams.
#pragma once

namespace platform {

// Switches file descriptors 0 and 1 to binary mode, so that no byte is
// translated on the way in or out. Stays in force for the rest of the process.
void os_set_stdio_binary();

}  // namespace platform
