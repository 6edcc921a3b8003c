// Code page conversions through the system's own tables (WideCharToMultiByte
// and MultiByteToWideChar), with the same results as the other backends:
// one "?" for each character a code page cannot hold, never a look-alike.
#include "platform/codepage.h"

#include <climits>

#include "platform/win32/windows_api.h"

namespace platform {

// The system's code page is the one its locale gives.
unsigned locale_ansi_code_page() { return GetACP(); }

namespace win32 {

std::wstring widen_utf8(std::string_view text) {
  const std::u16string wide = utf8_to_utf16(text);
  return std::wstring(wide.begin(), wide.end());
}

std::string narrow_utf8(std::wstring_view text) {
  return utf16_to_utf8(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

}  // namespace win32

namespace {

// The length of the character that starts text (a surrogate pair is one).
size_t character_length(std::u16string_view text) {
  if (text.size() >= 2 && text[0] >= 0xD800 && text[0] < 0xDC00 && text[1] >= 0xDC00 && text[1] < 0xE000)
    return 2;
  return 1;
}

// Converts text; *lossy (when not null) tells whether the default character was
// put in for something the page cannot hold. Best-fit look-alikes ("a" for "a
// with ogonek") are never used: they would change what the user wrote.
std::string narrow(std::u16string_view text, unsigned code_page, BOOL* lossy) {
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const DWORD flags = code_page == kCodePageUtf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const int needed = WideCharToMultiByte(code_page, flags, wide, length, nullptr, 0, nullptr, lossy);
  if (needed <= 0) return {};
  std::string out(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(code_page, flags, wide, length, out.data(), needed, nullptr, lossy);
  return out;
}

}  // namespace

std::optional<std::string> utf16_to_code_page(std::u16string_view text, unsigned code_page,
                                              size_t max_bytes) {
  if (text.size() > static_cast<size_t>(INT_MAX)) return std::nullopt;
  // Every character takes a byte or more (a surrogate pair two units): a text
  // this long cannot fit, and a page's megabytes are not converted to learn it.
  if (max_bytes != kNoLimit && text.size() / 2 > max_bytes) return std::nullopt;
  if (code_page == kCodePageUtf8) {
    // Unpaired surrogates become U+FFFD, as the system does.
    std::string out = narrow(text, code_page, nullptr);
    if (out.size() > max_bytes) return std::nullopt;
    return out;
  }
  BOOL lossy = FALSE;
  std::string out = narrow(text, code_page, &lossy);
  if (lossy) {
    // Character by character, so that each one the page cannot hold (a
    // surrogate pair included) becomes exactly one "?".
    out.clear();
    while (!text.empty()) {
      const size_t n = character_length(text);
      BOOL missing = FALSE;
      const std::string one = narrow(text.substr(0, n), code_page, &missing);
      out += missing || one.empty() ? std::string("?") : one;
      text.remove_prefix(n);
    }
  }
  if (out.size() > max_bytes) return std::nullopt;
  return out;
}

std::optional<std::string> utf16_to_code_page_exact(std::u16string_view text, unsigned code_page,
                                                    size_t max_bytes) {
  if (text.size() > static_cast<size_t>(INT_MAX)) return std::nullopt;
  if (max_bytes != kNoLimit && text.size() / 2 > max_bytes) return std::nullopt;
  if (code_page == kCodePageUtf8) {
    // UTF-8 holds every character; only an unpaired surrogate would be lost.
    for (std::u16string_view rest = text; !rest.empty();) {
      const size_t n = character_length(rest);
      if (n == 1 && rest[0] >= 0xD800 && rest[0] < 0xE000) return std::nullopt;
      rest.remove_prefix(n);
    }
    return utf16_to_code_page(text, code_page, max_bytes);
  }
  BOOL lossy = FALSE;
  std::string out = narrow(text, code_page, &lossy);
  if (lossy || out.size() > max_bytes) return std::nullopt;
  return out;
}

std::u16string code_page_to_utf16(std::string_view bytes, unsigned code_page) {
  if (bytes.empty() || bytes.size() > static_cast<size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(bytes.size());
  const int needed = MultiByteToWideChar(code_page, 0, bytes.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  MultiByteToWideChar(code_page, 0, bytes.data(), length, wide.data(), needed);
  return std::u16string(wide.begin(), wide.end());
}

std::optional<std::string> convert_code_page(std::string_view bytes, unsigned from, unsigned to,
                                             size_t max_bytes) {
  return utf16_to_code_page(code_page_to_utf16(bytes, from), to, max_bytes);
}

}  // namespace platform
