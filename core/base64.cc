#include "core/base64.h"

#include <algorithm>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

int base64_value(uint8_t c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

void base64_encode_group(const uint8_t* bytes, int count, char out[4]) {
  const uint32_t bits = (static_cast<uint32_t>(bytes[0]) << 16) |
                        (count > 1 ? static_cast<uint32_t>(bytes[1]) << 8 : 0) |
                        (count > 2 ? bytes[2] : 0);
  out[0] = kAlphabet[(bits >> 18) & 63];
  out[1] = kAlphabet[(bits >> 12) & 63];
  out[2] = count > 1 ? kAlphabet[(bits >> 6) & 63] : '=';
  out[3] = count > 2 ? kAlphabet[bits & 63] : '=';
}

std::string base64_encode(const uint8_t* data, size_t length) {
  std::string text((length + 2) / 3 * 4, '\0');
  for (size_t pos = 0, group = 0; pos < length; pos += 3, ++group)
    base64_encode_group(data + pos, static_cast<int>(std::min<size_t>(3, length - pos)), &text[4 * group]);
  return text;
}
