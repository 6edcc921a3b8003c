// The system's COM and OLE automation headers, and the two BSTR helpers the
// server's code shares with the project's own COM layer.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objsafe.h>
#include <ole2.h>
#include <oleauto.h>

#include <string_view>

// OLECHAR is a 16-bit wchar_t here: the UTF-16 code units of char16_t.
static_assert(sizeof(OLECHAR) == sizeof(char16_t));

inline std::u16string_view bstr_view(BSTR b) {
  return std::u16string_view(reinterpret_cast<const char16_t*>(b), SysStringLen(b));
}
inline BSTR bstr_from(std::u16string_view text) {
  return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
}
