#include "comserver/posix/dispatch.h"

#include <cstring>

namespace {

char16_t fold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool same_name(LPCOLESTR wide, const char* ascii) {
  if (wide == nullptr || ascii == nullptr) return false;
  size_t i = 0;
  for (; ascii[i] != 0; ++i)
    if (wide[i] == 0 || fold(wide[i]) != fold(static_cast<char16_t>(ascii[i]))) return false;
  return wide[i] == 0;
}

const MemberDescription* find_member(const InterfaceDescription& type, DISPID id, MemberKind kind) {
  for (const MemberDescription& m : type.members)
    if (m.id == id && m.kind == kind) return &m;
  return nullptr;
}

// Which member a call means: a put for DISPATCH_PROPERTYPUT, otherwise a method
// or a property get (clients send METHOD | PROPERTYGET for "obj.Name").
const MemberDescription* select_member(const InterfaceDescription& type, DISPID id, WORD flags) {
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    return (flags & DISPATCH_PROPERTYPUT) ? find_member(type, id, MemberKind::kPropertyPut) : nullptr;
  }
  const MemberDescription* m = nullptr;
  if (flags & DISPATCH_METHOD) m = find_member(type, id, MemberKind::kMethod);
  if (m == nullptr && (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)))
    m = find_member(type, id, MemberKind::kPropertyGet);
  return m;
}

}  // namespace

HRESULT dispatch_ids_of_names(const InterfaceDescription& type, LPOLESTR* names, UINT count, DISPID* ids) {
  if (count == 0) return S_OK;
  if (names == nullptr || ids == nullptr) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  const MemberDescription* member = nullptr;
  for (const MemberDescription& m : type.members) {
    if (same_name(names[0], m.name)) {
      member = &m;
      break;
    }
  }
  if (member == nullptr) return DISP_E_UNKNOWNNAME;
  ids[0] = member->id;
  HRESULT hr = S_OK;
  for (UINT i = 1; i < count; ++i) {
    // Parameter names belong to the method form that has them.
    const MemberDescription* form = find_member(type, member->id, MemberKind::kMethod);
    if (form == nullptr) form = member;
    for (UINT p = 0; p < form->param_count; ++p)
      if (same_name(names[i], form->params[p].name)) ids[i] = static_cast<DISPID>(p);
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT dispatch_invoke(const InterfaceDescription& type, IDispatch* object, DISPID id, WORD flags,
                        DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT* arg_error) {
  if (params == nullptr) return E_INVALIDARG;
  const MemberDescription* member = select_member(type, id, flags);
  if (member == nullptr) return DISP_E_MEMBERNOTFOUND;
  if (params->cArgs > 0 && params->rgvarg == nullptr) return E_INVALIDARG;

  if (member->kind == MemberKind::kPropertyPut) {
    if (params->cNamedArgs != 1 || params->rgdispidNamedArgs == nullptr ||
        params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
      return DISP_E_PARAMNOTOPTIONAL;
  } else if (params->cNamedArgs != 0) {
    return DISP_E_NONAMEDARGS;
  }
  if (params->cArgs != member->param_count) return DISP_E_BADPARAMCOUNT;

  // Arguments arrive last one first; coerce each into declaration order.
  VARIANT args[2];
  const UINT n = member->param_count;
  for (UINT i = 0; i < 2; ++i) VariantInit(&args[i]);
  auto clear_args = [&] {
    for (UINT i = 0; i < n; ++i) VariantClear(&args[i]);
  };
  for (UINT i = 0; i < n; ++i) {
    const UINT position = n - 1 - i;
    HRESULT hr = VariantChangeType(&args[i], &params->rgvarg[position], 0, member->params[i].type);
    if (FAILED(hr)) {
      if (arg_error != nullptr) *arg_error = position;
      clear_args();
      return hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH;
    }
  }

  VARIANT value;
  VariantInit(&value);
  const HRESULT hr = member->invoke(object, args, &value);
  clear_args();
  if (member->result_type != VT_EMPTY) {
    value.vt = member->result_type;
    if (SUCCEEDED(hr) && result != nullptr) {
      *result = value;  // callers hand in an empty variant
    } else {
      VariantClear(&value);
    }
  }
  if (FAILED(hr) && exception != nullptr) {
    std::memset(exception, 0, sizeof *exception);
    exception->scode = hr;
    return DISP_E_EXCEPTION;
  }
  return hr;
}
