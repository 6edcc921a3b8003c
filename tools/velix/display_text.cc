#include "tools/velix/display_text.h"

#include <cstdint>
#include <cstdio>

#include "platform/codepage.h"

namespace {

// The length of the valid UTF-8 sequence at text[at], or 0.
size_t utf8_sequence(std::string_view text, size_t at, uint32_t* code_point) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(at);
  const size_t length = lead < 0x80             ? 1
                        : (lead & 0xE0) == 0xC0 ? 2
                        : (lead & 0xF0) == 0xE0 ? 3
                        : (lead & 0xF8) == 0xF0 ? 4
                                                : 0;
  if (length == 0 || at + length > text.size()) return 0;
  uint32_t value = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    value = value << 6 | (byte(at + i) & 0x3F);
  }
  static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *code_point = value;
  return length;
}

void append_escape(std::string* out, uint8_t byte) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
  *out += escaped;
}

}  // namespace

std::string utf8_from_code_page(std::string_view bytes, unsigned code_page) {
  return platform::utf16_to_utf8(platform::code_page_to_utf16(bytes, code_page));
}

std::string escape_for_terminal(std::string_view text) {
  std::string out;
  size_t at = 0;
  while (at < text.size()) {
    uint32_t code_point = 0;
    const size_t length = utf8_sequence(text, at, &code_point);
    const bool control = code_point < 0x20 || (code_point >= 0x7F && code_point < 0xA0);
    if (length == 0 || control) {
      // A C1 control is escaped byte by byte, like anything that is not UTF-8.
      for (size_t i = 0; i < (length == 0 ? 1 : length); ++i) append_escape(&out, static_cast<uint8_t>(text[at + i]));
      at += length == 0 ? 1 : length;
    } else if (text[at] == '\\') {
      out += "\\\\";
      ++at;
    } else {
      out.append(text, at, length);
      at += length;
    }
  }
  return out;
}
