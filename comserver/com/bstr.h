// BSTR: a UTF-16 text preceded by its length in bytes (32 bits) and followed by
// a NUL, reached through a pointer to its first character. The allocation
// rules are those of OLE automation: a null BSTR is a valid empty text for
// every reader, SysFreeString accepts null, and what one side allocates the
// other side frees.
#pragma once

#include <string>
#include <string_view>

#include "comserver/com/types.h"

BSTR SysAllocString(LPCOLESTR psz);  // null for a null psz
// len characters; with a null psz the characters are zero.
BSTR SysAllocStringLen(const OLECHAR* strIn, UINT len);
// len bytes (may be odd); with a null psz the bytes are zero.
BSTR SysAllocStringByteLen(const char* psz, UINT len);
// Replace *pbstr with a copy of psz (which may point into *pbstr). FALSE and
// *pbstr unchanged when out of memory.
INT SysReAllocString(BSTR* pbstr, LPCOLESTR psz);
INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len);
void SysFreeString(BSTR bstrString);
UINT SysStringLen(BSTR pbstr);
UINT SysStringByteLen(BSTR bstr);

// Helpers for the server's own code.
inline std::u16string_view bstr_view(BSTR b) { return std::u16string_view(b, SysStringLen(b)); }
inline BSTR bstr_from(std::u16string_view text) {
  return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}
