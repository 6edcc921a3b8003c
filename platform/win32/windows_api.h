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

}  // namespace platform::win32
