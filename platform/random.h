// The operating system's random source.
#pragma once

#include <cstddef>

namespace platform {

// Fills out with length random bytes; false when the source fails.
bool os_random_bytes(void* out, size_t length);

}  // namespace platform
