// Text encodings: the ANSI code page of the user's locale, UTF-8 and UTF-16.
//
// Conversions behave like the Windows ones: a character the target code page
// cannot represent becomes "?", bytes that are not valid in the source become
// U+FFFD (UTF-8) or the code point of the same number (single-byte pages), and a
// conversion fails only when its output does not fit the limit it is given.
// Text that will be signed or stored uses the exact conversions instead, which
// fail rather than put "?" in place of a character.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

constexpr unsigned kCodePageUtf8 = 65001;
constexpr unsigned kCodePageCyrillic = 1251;
constexpr unsigned kCodePageWestern = 1252;

// The ANSI code page of the process: the CodePage value (REG_DWORD) under
// HKCU\Software\VelixCom when it is 1251 or 1252, read once per process like
// Windows' own; otherwise the one the locale gives (below).
unsigned ansi_code_page();

// The CodePage value when it is a REG_DWORD of 1251 or 1252, read now; else 0.
unsigned stored_ansi_code_page();

// The system's ANSI code page where it has one (Windows: GetACP). Elsewhere
// 1252 when the locale language (LC_ALL, LC_CTYPE, LANG: the first that is
// set) is one Windows serves with 1252 (the Western European ones), and 1251
// for every other locale, C and POSIX included.
unsigned locale_ansi_code_page();

constexpr size_t kNoLimit = static_cast<size_t>(-1);

// UTF-16 to a code page (1251, 1252 or kCodePageUtf8). The result may hold at
// most max_bytes bytes; nullopt when it would not fit.
std::optional<std::string> utf16_to_code_page(std::u16string_view text, unsigned code_page,
                                              size_t max_bytes = kNoLimit);

// As utf16_to_code_page, but nullopt also when the code page cannot hold a
// character of the text.
std::optional<std::string> utf16_to_code_page_exact(std::u16string_view text, unsigned code_page,
                                                    size_t max_bytes = kNoLimit);

// A code page to UTF-16. Never fails.
std::u16string code_page_to_utf16(std::string_view bytes, unsigned code_page);

// Shorthands for the conversions the signer makes all the time.
inline std::optional<std::string> utf16_to_ansi(std::u16string_view text,
                                                size_t max_bytes = kNoLimit) {
  return utf16_to_code_page(text, ansi_code_page(), max_bytes);
}
inline std::optional<std::string> utf16_to_ansi_exact(std::u16string_view text,
                                                      size_t max_bytes = kNoLimit) {
  return utf16_to_code_page_exact(text, ansi_code_page(), max_bytes);
}
inline std::u16string ansi_to_utf16(std::string_view bytes) {
  return code_page_to_utf16(bytes, ansi_code_page());
}
inline std::string utf16_to_utf8(std::u16string_view text) {
  return *utf16_to_code_page(text, kCodePageUtf8);
}
inline std::u16string utf8_to_utf16(std::string_view bytes) {
  return code_page_to_utf16(bytes, kCodePageUtf8);
}
// Between two byte encodings, through UTF-16.
std::optional<std::string> convert_code_page(std::string_view bytes, unsigned from, unsigned to,
                                             size_t max_bytes = kNoLimit);

// ANSI text shown in a dialog, which takes UTF-8.
inline std::string ansi_to_utf8(std::string_view bytes) { return utf16_to_utf8(ansi_to_utf16(bytes)); }
// UTF-8 text (typed in a dialog) in the ANSI code page; nullopt when the page
// cannot hold one of its characters.
inline std::optional<std::string> utf8_to_ansi_exact(std::string_view text, size_t max_bytes = kNoLimit) {
  return utf16_to_ansi_exact(utf8_to_utf16(text), max_bytes);
}

}  // namespace platform
