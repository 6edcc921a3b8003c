// The Windows API headers, included one way everywhere in this backend.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <string_view>

namespace platform::win32 {

// A UTF-8 path as the wide text the file functions take.
std::wstring widen_utf8(std::string_view text);
// A wide text (module and file names) as UTF-8.
std::string narrow_utf8(std::wstring_view text);
// The system's text for an error number (GetLastError, a registry result),
// without the line end; "error N" when the system has none.
std::string system_message(DWORD error);
// Copies text into a fixed buffer, cut to fit. Per-thread reasons live in such
// plain buffers: a thread-local object with a destructor would outlive a DLL
// (velixcom) that links this code.
template <size_t N>
void keep_text(char (&buffer)[N], std::string_view text) {
  const size_t length = text.size() < N - 1 ? text.size() : N - 1;
  text.copy(buffer, length);
  buffer[length] = '\0';
}

}  // namespace platform::win32
