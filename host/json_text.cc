#include "host/json_text.h"

#include <cstddef>
#include <cstdint>

namespace {

// The length of the valid UTF-8 sequence at text[i] (shortest form, no
// surrogates, at most U+10FFFF), or 0.
size_t utf8_sequence_length(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t lead = byte(i);
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint8_t low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() - i < length || byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k)
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  return length;
}

// The escape Qt writes for an ASCII character, or nullptr when it writes the character itself.
const char* short_escape(char c) {
  switch (c) {
    case '"': return "\\\"";
    case '\\': return "\\\\";
    case '\b': return "\\b";
    case '\f': return "\\f";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: return nullptr;
  }
}

bool needs_escape(char c) { return static_cast<uint8_t>(c) < 0x20 || c == '"' || c == '\\'; }

}  // namespace

qint64 json_string_size(std::string_view utf8) {
  qint64 size = 2;
  for (size_t i = 0; i < utf8.size();) {
    const size_t length = utf8_sequence_length(utf8, i);
    if (length == 0) return -1;
    size += !needs_escape(utf8[i]) ? static_cast<qint64>(length) : short_escape(utf8[i]) != nullptr ? 2 : 6;
    i += length;
  }
  return size;
}

void append_json_string(std::string_view utf8, QByteArray* out) {
  out->append('"');
  size_t plain = 0;  // the start of the bytes written as they are
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (!needs_escape(utf8[i])) continue;
    out->append(utf8.data() + plain, static_cast<int>(i - plain));
    if (const char* escape = short_escape(utf8[i])) {
      out->append(escape);
    } else {
      static constexpr char kHex[] = "0123456789abcdef";
      const auto c = static_cast<uint8_t>(utf8[i]);
      const char unicode[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
      out->append(unicode, sizeof unicode);
    }
    plain = i + 1;
  }
  out->append(utf8.data() + plain, static_cast<int>(utf8.size() - plain));
  out->append('"');
}
