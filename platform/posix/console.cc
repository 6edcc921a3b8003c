#include "platform/console.h"

#include <cstdlib>

namespace platform {

// POSIX streams never translate bytes: binary is the only mode there is.
void os_set_stdio_binary() {}

namespace {
bool is_set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}
}  // namespace

bool os_has_display() { return is_set("DISPLAY") || is_set("WAYLAND_DISPLAY"); }

}  // namespace platform
