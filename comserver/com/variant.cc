#include "comserver/com/variant.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "comserver/com/interfaces.h"

void VariantInit(VARIANTARG* pvarg) {
  pvarg->vt = VT_EMPTY;
  pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
  pvarg->record = {nullptr, nullptr};
}

namespace {

bool known_type(VARTYPE vt) {
  switch (vt & VT_TYPEMASK) {
    case VT_EMPTY: case VT_NULL: case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY:
    case VT_DATE: case VT_BSTR: case VT_DISPATCH: case VT_ERROR: case VT_BOOL: case VT_VARIANT:
    case VT_UNKNOWN: case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8:
    case VT_INT: case VT_UINT:
      return (vt & ~(VT_TYPEMASK | VT_BYREF)) == 0 && vt != (VT_VARIANT) && vt != (VT_BYREF | VT_EMPTY);
    default:
      return false;
  }
}

// A scalar value read out of a variant, as the widest type of its kind.
struct Value {
  enum Kind { kEmpty, kInteger, kReal, kText, kBool } kind = kEmpty;
  int64_t integer = 0;
  double real = 0;
  BSTR text = nullptr;  // not owned
};

HRESULT read_value(const VARIANT* v, Value* out) {
  const bool byref = (v->vt & VT_BYREF) != 0;
  const VARTYPE vt = v->vt & VT_TYPEMASK;
  if (byref && v->byref == nullptr) return E_INVALIDARG;
  switch (vt) {
    case VT_EMPTY: out->kind = Value::kEmpty; return S_OK;
    case VT_I1: out->kind = Value::kInteger; out->integer = byref ? *static_cast<signed char*>(v->byref) : static_cast<signed char>(v->cVal); return S_OK;
    case VT_UI1: out->kind = Value::kInteger; out->integer = byref ? *v->pbVal : v->bVal; return S_OK;
    case VT_I2: out->kind = Value::kInteger; out->integer = byref ? *v->piVal : v->iVal; return S_OK;
    case VT_UI2: out->kind = Value::kInteger; out->integer = byref ? *static_cast<USHORT*>(v->byref) : v->uiVal; return S_OK;
    case VT_I4: out->kind = Value::kInteger; out->integer = byref ? *v->plVal : v->lVal; return S_OK;
    case VT_UI4: out->kind = Value::kInteger; out->integer = byref ? *static_cast<ULONG*>(v->byref) : v->ulVal; return S_OK;
    case VT_INT: out->kind = Value::kInteger; out->integer = byref ? *v->pintVal : v->intVal; return S_OK;
    case VT_UINT: out->kind = Value::kInteger; out->integer = byref ? *v->puintVal : v->uintVal; return S_OK;
    case VT_I8: out->kind = Value::kInteger; out->integer = byref ? *static_cast<int64_t*>(v->byref) : v->llVal; return S_OK;
    case VT_R4: out->kind = Value::kReal; out->real = byref ? *v->pfltVal : v->fltVal; return S_OK;
    case VT_R8: out->kind = Value::kReal; out->real = byref ? *v->pdblVal : v->dblVal; return S_OK;
    case VT_BOOL: out->kind = Value::kBool; out->integer = (byref ? *v->pboolVal : v->boolVal) ? -1 : 0; return S_OK;
    case VT_BSTR: out->kind = Value::kText; out->text = byref ? *v->pbstrVal : v->bstrVal; return S_OK;
    case VT_VARIANT:
      if (!byref) return DISP_E_BADVARTYPE;
      return read_value(v->pvarVal, out);
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

// Decimal integers with optional blanks and sign, or True/False in any case.
HRESULT parse_text(BSTR text, Value* out) {
  std::u16string_view t = bstr_view(text);
  while (!t.empty() && (t.front() == u' ' || t.front() == u'\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == u' ' || t.back() == u'\t')) t.remove_suffix(1);
  auto equals_ignoring_case = [&](const char* word) {
    size_t i = 0;
    for (; word[i] != 0; ++i) {
      if (i >= t.size()) return false;
      char16_t c = t[i];
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
      if (c != static_cast<char16_t>(word[i])) return false;
    }
    return i == t.size();
  };
  if (equals_ignoring_case("true")) { out->kind = Value::kBool; out->integer = -1; return S_OK; }
  if (equals_ignoring_case("false")) { out->kind = Value::kBool; out->integer = 0; return S_OK; }
  std::string ascii;
  for (char16_t c : t) {
    if (c > 0x7F) return DISP_E_TYPEMISMATCH;
    ascii += static_cast<char>(c);
  }
  if (ascii.empty()) return DISP_E_TYPEMISMATCH;
  char* end = nullptr;
  const double number = std::strtod(ascii.c_str(), &end);
  if (end != ascii.c_str() + ascii.size() || std::isnan(number) || std::isinf(number)) return DISP_E_TYPEMISMATCH;
  out->kind = Value::kReal;
  out->real = number;
  return S_OK;
}

HRESULT to_integer(const Value& v, int64_t min, int64_t max, int64_t* out) {
  int64_t result = 0;
  switch (v.kind) {
    case Value::kEmpty: result = 0; break;
    case Value::kInteger: case Value::kBool: result = v.integer; break;
    case Value::kReal: {
      const double rounded = std::nearbyint(v.real);  // the default rounding is half to even
      if (!(rounded >= static_cast<double>(min) && rounded <= static_cast<double>(max))) return DISP_E_OVERFLOW;
      result = static_cast<int64_t>(rounded);
      break;
    }
    case Value::kText: {
      Value parsed;
      HRESULT hr = parse_text(v.text, &parsed);
      if (FAILED(hr)) return hr;
      return to_integer(parsed, min, max, out);
    }
  }
  if (result < min || result > max) return DISP_E_OVERFLOW;
  *out = result;
  return S_OK;
}

BSTR text_of(const Value& v) {
  std::string ascii;
  switch (v.kind) {
    case Value::kEmpty: break;
    case Value::kInteger: case Value::kBool: ascii = std::to_string(v.integer); break;
    case Value::kReal: {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%.15g", v.real);
      ascii = buffer;
      break;
    }
    case Value::kText: return SysAllocStringLen(v.text, SysStringLen(v.text));
  }
  return bstr_from(std::u16string(ascii.begin(), ascii.end()));
}

}  // namespace

HRESULT VariantClear(VARIANTARG* pvarg) {
  if (pvarg == nullptr) return E_INVALIDARG;
  if (!known_type(pvarg->vt)) return DISP_E_BADVARTYPE;
  if ((pvarg->vt & VT_BYREF) == 0) {
    switch (pvarg->vt) {
      case VT_BSTR: SysFreeString(pvarg->bstrVal); break;
      case VT_UNKNOWN: if (pvarg->punkVal) pvarg->punkVal->Release(); break;
      case VT_DISPATCH: if (pvarg->pdispVal) pvarg->pdispVal->Release(); break;
      default: break;
    }
  }
  VariantInit(pvarg);
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (pvargDest == nullptr || pvargSrc == nullptr) return E_INVALIDARG;
  if (pvargDest == pvargSrc) return S_OK;
  if (!known_type(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  VARIANT copy = *pvargSrc;
  if ((copy.vt & VT_BYREF) == 0) {
    if (copy.vt == VT_BSTR && copy.bstrVal != nullptr) {
      copy.bstrVal = SysAllocStringByteLen(reinterpret_cast<const char*>(copy.bstrVal), SysStringByteLen(copy.bstrVal));
      if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
    } else if (copy.vt == VT_UNKNOWN && copy.punkVal != nullptr) {
      copy.punkVal->AddRef();
    } else if (copy.vt == VT_DISPATCH && copy.pdispVal != nullptr) {
      copy.pdispVal->AddRef();
    }
  }
  HRESULT hr = VariantClear(pvargDest);
  if (FAILED(hr)) {
    VariantClear(&copy);
    return hr;
  }
  *pvargDest = copy;
  return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT /*wFlags*/, VARTYPE vt) {
  if (pvargDest == nullptr || pvarSrc == nullptr) return E_INVALIDARG;
  if (!known_type(pvarSrc->vt)) return DISP_E_BADVARTYPE;
  Value value;
  HRESULT hr = read_value(pvarSrc, &value);
  if (FAILED(hr)) return hr;
  VARIANT result;
  VariantInit(&result);
  result.vt = vt;
  int64_t n = 0;
  switch (vt) {
    case VT_I2: hr = to_integer(value, INT16_MIN, INT16_MAX, &n); result.iVal = static_cast<SHORT>(n); break;
    case VT_I4: hr = to_integer(value, INT32_MIN, INT32_MAX, &n); result.lVal = static_cast<LONG>(n); break;
    case VT_INT: hr = to_integer(value, INT32_MIN, INT32_MAX, &n); result.intVal = static_cast<INT>(n); break;
    case VT_UI1: hr = to_integer(value, 0, UINT8_MAX, &n); result.bVal = static_cast<BYTE>(n); break;
    case VT_BOOL: {
      if (value.kind == Value::kText) {
        Value parsed;
        hr = parse_text(value.text, &parsed);
        value = parsed;
      }
      if (SUCCEEDED(hr)) {
        const bool truth = value.kind == Value::kReal ? value.real != 0 : value.integer != 0;
        result.boolVal = truth ? VARIANT_TRUE : VARIANT_FALSE;
      }
      break;
    }
    case VT_R8:
      if (value.kind == Value::kReal) {
        result.dblVal = value.real;
      } else if (value.kind == Value::kText) {
        Value parsed;
        hr = parse_text(value.text, &parsed);
        result.dblVal = parsed.kind == Value::kReal ? parsed.real : static_cast<double>(parsed.integer);
      } else {
        result.dblVal = static_cast<double>(value.integer);
      }
      break;
    case VT_BSTR:
      result.bstrVal = text_of(value);
      if (result.bstrVal == nullptr) hr = E_OUTOFMEMORY;
      break;
    default:
      return DISP_E_TYPEMISMATCH;
  }
  if (FAILED(hr)) return hr;
  hr = VariantClear(pvargDest);  // after reading: the source may be the destination
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;
  }
  *pvargDest = result;
  return S_OK;
}
