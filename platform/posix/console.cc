#include "platform/console.h"

namespace platform {

// POSIX streams never translate bytes: binary is the only mode there is.
void os_set_stdio_binary() {}

}  // namespace platform
