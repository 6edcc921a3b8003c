#include "platform/random.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdint>

namespace platform {

bool os_random_bytes(void* out, size_t length) {
  auto* p = static_cast<uint8_t*>(out);
  while (length > 0) {
    const ssize_t got = getrandom(p, length, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += got;
    length -= static_cast<size_t>(got);
  }
  return true;
}

}  // namespace platform
