// Texts that cross the signer's boundary as UTF-16 strings.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/codepage.h"

// A text ends at its first NUL, as the Windows conversions with length -1 read it.
inline std::u16string_view UpToNul(std::u16string_view text) { return text.substr(0, text.find(u'\0')); }

// The text in the ANSI code page; one that cannot be converted or is longer
// than max_bytes is empty.
inline std::string AnsiArgument(std::u16string_view text, size_t max_bytes) {
  return platform::utf16_to_ansi(UpToNul(text), max_bytes).value_or("");
}
