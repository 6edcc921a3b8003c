// Key card text from outside: parsing must stay inside the text and keep the
// user ID within its 20 characters.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/armor.h"
#include "core/keycard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool table_ready = (crc24_init_table(), true);
  (void)table_ready;
  if (size > 1 << 16) return 0;
  std::vector<char> text(data, data + size);  // exact size: a read past it is caught
  text.reserve(1);                            // a valid pointer even for empty input
  uint32_t serial = 0;
  char user_id[21];
  std::memset(user_id, 'X', sizeof user_id);
  const int rc = parse_key_card(text.data(), static_cast<int>(size), &serial, user_id);
  if (rc != 0 && rc != -23) std::abort();
  if (rc == 0 && std::strlen(user_id) > 20) std::abort();
  return 0;
}
