// VARIANT with the Windows layout, for the types automation clients pass to
// ISigner: integers, booleans, doubles, texts, interface pointers, and
// references to them.
#pragma once

#include "comserver/com/bstr.h"
#include "comserver/com/types.h"

struct IUnknown;
struct IDispatch;

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_VOID = 24,
  VT_HRESULT = 25,
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0x0FFF,
};

struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    int64_t llVal;
    LONG lVal;
    BYTE bVal;
    SHORT iVal;
    float fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    DATE date;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    char cVal;
    USHORT uiVal;
    ULONG ulVal;
    uint64_t ullVal;
    INT intVal;
    UINT uintVal;
    BYTE* pbVal;
    SHORT* piVal;
    LONG* plVal;
    float* pfltVal;
    double* pdblVal;
    VARIANT_BOOL* pboolVal;
    BSTR* pbstrVal;
    IUnknown** ppunkVal;
    IDispatch** ppdispVal;
    VARIANT* pvarVal;
    INT* pintVal;
    UINT* puintVal;
    void* byref;
    struct {
      void* pvRecord;
      void* pRecInfo;
    } record;  // keeps the size of the Windows union (two pointers)
  };
};
using VARIANTARG = VARIANT;
static_assert(sizeof(VARIANT) == 8 + 2 * sizeof(void*), "VARIANT has the Windows size");

#define V_VT(v) ((v)->vt)
#define V_I4(v) ((v)->lVal)
#define V_INT(v) ((v)->intVal)
#define V_BOOL(v) ((v)->boolVal)
#define V_BSTR(v) ((v)->bstrVal)

void VariantInit(VARIANTARG* pvarg);
// Frees what the variant owns (a text, an interface reference) and empties it.
// References (VT_BYREF) own nothing. DISP_E_BADVARTYPE for an unknown type.
HRESULT VariantClear(VARIANTARG* pvarg);
// A deep copy: texts are duplicated, interfaces gain a reference.
HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);

constexpr USHORT VARIANT_NOVALUEPROP = 0x1;
// Coerces a value (following one VT_BYREF) to vt, which may be VT_I2, VT_I4,
// VT_INT, VT_UI1, VT_R8, VT_BOOL or VT_BSTR. Numbers round half to even and
// fail with DISP_E_OVERFLOW when out of range; texts are read as decimal
// numbers or "True"/"False" (DISP_E_TYPEMISMATCH otherwise); booleans become
// the texts "-1" and "0", as OLE does without VARIANT_ALPHABOOL.
// pvargDest may equal pvarSrc.
HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt);
