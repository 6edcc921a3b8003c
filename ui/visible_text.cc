#include "ui/visible_text.h"

#include <cstdio>

namespace ui {
namespace {

void AppendEscape(std::string* out, unsigned value) {
  char escape[16];
  std::snprintf(escape, sizeof escape, "[U+%04X]", value);
  *out += escape;
}

// The code point that starts at `text[*at]`, moving `*at` past it; false
// (moving past one byte) when the bytes there are not UTF-8.
bool DecodeUtf8(std::string_view text, size_t* at, char32_t* code_point) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(*at);
  size_t length;
  char32_t value, least;
  if (lead < 0x80) {
    *code_point = lead;
    ++*at;
    return true;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, least = 0x10000;
  } else {
    ++*at;
    return false;
  }
  if (*at + length > text.size()) {
    ++*at;
    return false;
  }
  for (size_t i = 1; i < length; ++i) {
    const unsigned char next = byte(*at + i);
    if ((next & 0xC0) != 0x80) {
      ++*at;
      return false;
    }
    value = (value << 6) | (next & 0x3F);
  }
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    ++*at;
    return false;
  }
  *code_point = value;
  *at += length;
  return true;
}

}  // namespace

bool IsHiddenCharacter(char32_t c) {
  if (c == U'\n') return false;
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;  // C0, DEL and C1 controls
  switch (c) {
    case 0x00AD:  // soft hyphen
    case 0x034F:  // combining grapheme joiner
    case 0x061C:  // Arabic letter mark
    case 0x115F: case 0x1160:  // Hangul fillers
    case 0x180E:  // Mongolian vowel separator
    case 0x3164:  // Hangul filler
    case 0xFEFF:  // zero-width no-break space
      return true;
    default:
      break;
  }
  return (c >= 0x200B && c <= 0x200F) ||  // zero-width spaces and joiners, LRM, RLM
         (c >= 0x2028 && c <= 0x202E) ||  // line and paragraph separators, embeddings and overrides
         (c >= 0x2060 && c <= 0x206F) ||  // word joiner, invisible operators, isolates, deprecated controls
         (c >= 0xFFF9 && c <= 0xFFFB) ||  // interlinear annotation
         (c >= 0xE0000 && c <= 0xE007F);  // tags
}

std::string VisibleText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t at = 0;
  while (at < text.size()) {
    const size_t start = at;
    char32_t c = 0;
    if (!DecodeUtf8(text, &at, &c)) {
      AppendEscape(&out, 0xDC00u | static_cast<unsigned char>(text[start]));
      continue;
    }
    if (c == U'\r' && at < text.size() && text[at] == '\n') continue;  // CRLF is one line break
    if (IsHiddenCharacter(c)) {
      AppendEscape(&out, static_cast<unsigned>(c));
    } else if (c == U'[' && text.substr(at, 2) == "U+") {
      AppendEscape(&out, '[');
    } else {
      out.append(text.substr(start, at - start));
    }
  }
  return out;
}

}  // namespace ui
