// GUIDs with the Windows layout, their registry text form and the identifiers
// of the standard interfaces.
#pragma once

#include <cstdint>

#include "comserver/com/types.h"

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16, "GUIDs are 16 bytes");

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool IsEqualGUID(REFGUID a, REFGUID b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}
inline bool IsEqualIID(REFIID a, REFIID b) { return IsEqualGUID(a, b); }
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return IsEqualGUID(a, b); }
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }

// The registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
// cchMax counts characters with the NUL; returns the characters written with
// the NUL (39), or 0 when the buffer is too small.
int StringFromGUID2(REFGUID guid, LPOLESTR text, int cchMax);
// Parses the registry form (hex digits of either case, braces required).
// E_INVALIDARG for anything else.
HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid);
HRESULT IIDFromString(LPCOLESTR text, IID* iid);

extern const IID IID_NULL;
extern const IID IID_IUnknown;
extern const IID IID_IDispatch;
extern const IID IID_IClassFactory;
extern const IID IID_IMarshal;
extern const IID IID_IObjectSafety;
extern const IID IID_ITypeInfo;
extern const CLSID CLSID_InProcFreeMarshaler;
// The standard proxy of OLE automation (dual) interfaces.
extern const CLSID CLSID_PSOAInterface;
