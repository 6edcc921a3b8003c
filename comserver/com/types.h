// The basic types, result codes and calling convention of COM, with the sizes
// and layouts they have on Windows, so that the server reads like Windows COM
// code. A Windows build puts the system's own headers in place of this folder.
#pragma once

#include <cstdint>

#define STDMETHODCALLTYPE
#define STDAPI extern "C" HRESULT STDMETHODCALLTYPE

using HRESULT = int32_t;
using SCODE = int32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using DWORD = uint32_t;
using WORD = uint16_t;
using BYTE = uint8_t;
using SHORT = int16_t;
using USHORT = uint16_t;
using INT = int;
using UINT = unsigned int;
using BOOL = int;
using LCID = DWORD;
using DISPID = LONG;
using MEMBERID = DISPID;
using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;
using DATE = double;
// UTF-16 code units; wchar_t is 32 bits wide on Linux, so char16_t stands in.
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

constexpr HRESULT as_hresult(uint32_t value) { return static_cast<HRESULT>(value); }

// Win32 error numbers as HRESULTs (FACILITY_WIN32).
constexpr HRESULT HRESULT_FROM_WIN32(long error) {
  return error <= 0 ? static_cast<HRESULT>(error)
                    : as_hresult((static_cast<uint32_t>(error) & 0xFFFFu) | (7u << 16) | 0x80000000u);
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = as_hresult(0x80004001u);
constexpr HRESULT E_NOINTERFACE = as_hresult(0x80004002u);
constexpr HRESULT E_POINTER = as_hresult(0x80004003u);
constexpr HRESULT E_FAIL = as_hresult(0x80004005u);
constexpr HRESULT E_UNEXPECTED = as_hresult(0x8000FFFFu);
constexpr HRESULT E_ACCESSDENIED = as_hresult(0x80070005u);
constexpr HRESULT E_OUTOFMEMORY = as_hresult(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = as_hresult(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = as_hresult(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = as_hresult(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = as_hresult(0x80040154u);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = as_hresult(0x80020001u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = as_hresult(0x80020003u);
constexpr HRESULT DISP_E_PARAMNOTFOUND = as_hresult(0x80020004u);
constexpr HRESULT DISP_E_TYPEMISMATCH = as_hresult(0x80020005u);
constexpr HRESULT DISP_E_UNKNOWNNAME = as_hresult(0x80020006u);
constexpr HRESULT DISP_E_NONAMEDARGS = as_hresult(0x80020007u);
constexpr HRESULT DISP_E_BADVARTYPE = as_hresult(0x80020008u);
constexpr HRESULT DISP_E_EXCEPTION = as_hresult(0x80020009u);
constexpr HRESULT DISP_E_OVERFLOW = as_hresult(0x8002000Au);
constexpr HRESULT DISP_E_BADINDEX = as_hresult(0x8002000Bu);
constexpr HRESULT DISP_E_BADPARAMCOUNT = as_hresult(0x8002000Eu);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = as_hresult(0x8002000Fu);
constexpr HRESULT TYPE_E_LIBNOTREGISTERED = as_hresult(0x8002801Du);
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = as_hresult(0x8002802Bu);
constexpr HRESULT TYPE_E_CANTLOADLIBRARY = as_hresult(0x80029C4Au);

constexpr long ERROR_INSUFFICIENT_BUFFER = 122;
constexpr long ERROR_NO_UNICODE_TRANSLATION = 1113;

constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_PROPERTYPUT = -3;

constexpr WORD DISPATCH_METHOD = 1;
constexpr WORD DISPATCH_PROPERTYGET = 2;
constexpr WORD DISPATCH_PROPERTYPUT = 4;
constexpr WORD DISPATCH_PROPERTYPUTREF = 8;

constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
