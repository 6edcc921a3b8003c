#include "core/base64.h"

#include <algorithm>
#include <array>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

namespace {

// The value of every byte, -1 outside the alphabet: armor decoding looks up
// every character, so a table rather than comparisons.
constexpr auto kBase64Values = [] {
  std::array<int8_t, 256> values{};
  for (int c = 0; c < 256; ++c) {
    values[c] = c >= 'A' && c <= 'Z'   ? static_cast<int8_t>(c - 'A')
                : c >= 'a' && c <= 'z' ? static_cast<int8_t>(c - 'a' + 26)
                : c >= '0' && c <= '9' ? static_cast<int8_t>(c - '0' + 52)
                : c == '+'             ? 62
                : c == '/'             ? 63
                                       : -1;
  }
  return values;
}();

}  // namespace

int base64_value(uint8_t c) { return kBase64Values[c]; }

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
