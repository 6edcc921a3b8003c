#include "platform/random.h"

#include "platform/win32/windows_api.h"

#include <bcrypt.h>

#include <climits>
#include <cstdint>

namespace platform {

bool os_random_bytes(void* out, size_t length) {
  auto* p = static_cast<uint8_t*>(out);
  while (length > 0) {
    const ULONG chunk = length > ULONG_MAX ? ULONG_MAX : static_cast<ULONG>(length);
    if (BCryptGenRandom(nullptr, p, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) return false;
    p += chunk;
    length -= chunk;
  }
  return true;
}

}  // namespace platform
