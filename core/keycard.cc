#include "core/keycard.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "core/armor.h"
#include "core/base64.h"
#include "core/core.h"
#include "core/document.h"

namespace {

constexpr std::string_view kPrefix = "Version: 01\r\nUser ID: ";
constexpr std::string_view kKeyLine = "\r\nUser Key: ";
constexpr int kCheckLength = 4;

// The 24 bits of a group of 4 base64 characters, or -1 when one is invalid.
long decode_check(std::string_view check) {
  long value = 0;
  for (char c : check) {
    const int digit = base64_value(static_cast<unsigned char>(c));
    if (digit < 0) return -1;
    value = value << 6 | digit;
  }
  return value;
}

// A decimal as the C library reads it: blanks, a sign, digits up to the first
// non-digit; no digits gives 0. A value past kDocumentFieldMax is kept just
// above it, so that no number of digits wraps back into range.
int64_t read_serial(std::string_view text) {
  size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  int64_t value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    value = std::min<int64_t>(value * 10 + (text[at] - '0'), int64_t{kDocumentFieldMax} + 1);
  }
  return negative ? -value : value;
}

}  // namespace

int parse_key_card(const char* text, int length, uint32_t* serial, char* user_id) {
  if (text == nullptr || serial == nullptr || user_id == nullptr) return CORE_E_ARGS;
  const size_t size = length < 0 ? std::strlen(text) : static_cast<size_t>(length);
  // Work on a NUL-terminated copy: the text ends at its first NUL, like a C string.
  std::unique_ptr<char[]> copy(new (std::nothrow) char[size + 1]);
  if (!copy) return CORE_E_NOMEM;
  std::memcpy(copy.get(), text, size);
  copy[size] = '\0';
  const std::string_view card(copy.get());

  const size_t equals = card.rfind('=');
  if (equals == std::string_view::npos) return CORE_E_KEYCARD;
  const uint32_t crc = crc24(kCrc24Init, reinterpret_cast<const uint8_t*>(card.data()), equals) & 0xFFFFFF;
  const std::string_view check = card.substr(equals + 1);
  if (check.size() != kCheckLength) return CORE_E_KEYCARD;
  if (!card.starts_with(kPrefix)) return CORE_E_KEYCARD;

  const std::string_view rest = card.substr(kPrefix.size());
  const std::string_view name = rest.substr(0, rest.find_first_of("\r\n"));
  const size_t kept = std::min<size_t>(name.size(), kKeyCardUserIdMax);
  std::memcpy(user_id, name.data(), kept);
  user_id[kept] = '\0';

  const size_t key_line = rest.find(kKeyLine);
  if (key_line == std::string_view::npos) return CORE_E_KEYCARD;
  const int64_t card_serial = read_serial(rest.substr(key_line + kKeyLine.size()));

  if (decode_check(check) != static_cast<long>(crc)) return CORE_E_KEYCARD;
  // Every document of the key carries the serial in 8 digits: a serial they
  // cannot hold would make a key that no export or signature accepts.
  if (card_serial < 0 || card_serial > int64_t{kDocumentFieldMax}) return CORE_E_KEYCARD;
  *serial = static_cast<uint32_t>(card_serial);
  return 0;
}
