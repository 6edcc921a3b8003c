// Armored text from outside: the decoder must never read or write outside its
// buffers, and whatever it accepts must survive an encode/decode round trip.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/armor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool table_ready = (crc24_init_table(), true);
  (void)table_ready;
  if (size > 1 << 16) return 0;
  // An exact-size copy so that any read past the input is caught.
  std::vector<char> text(data, data + size);
  const int capacity = static_cast<int>(size);  // 4 characters never yield more than 3 bytes
  std::vector<uint8_t> decoded(static_cast<size_t>(capacity) + 1);
  const int n = armor_decode(text.data(), static_cast<int>(size), decoded.data(), capacity);
  if (n < 0) return 0;
  if (n > capacity) std::abort();

  std::vector<char> armored(static_cast<size_t>(n) * 2 + 16);
  const int length = armor_encode(decoded.data(), n, armored.data(), static_cast<int>(armored.size()));
  if (length < 0) std::abort();
  std::vector<uint8_t> again(static_cast<size_t>(n) + 3);
  if (armor_decode(armored.data(), length, again.data(), static_cast<int>(again.size())) != n) std::abort();
  if (n > 0 && std::memcmp(again.data(), decoded.data(), static_cast<size_t>(n)) != 0) std::abort();
  return 0;
}
