// The type library velixcomLib2 as data: the library, the coclass Signer2 and
// the dual interface ISigner with every member's dispatch id, kind, vtable
// slot, parameters and help string. IDispatch works from these tables.
#pragma once

#include <span>

#include "comserver/com/com.h"

enum class MemberKind { kMethod, kPropertyGet, kPropertyPut };

struct ParamDescription {
  const char* name;  // null for the unnamed value of a property put
  VARTYPE type;
};

// Calls the member on the object with its [in] arguments in declaration
// order, already coerced to their types; writes an [out, retval] value into
// result's union (the caller sets the type from result_type).
using MemberInvoker = HRESULT (*)(IDispatch* object, VARIANT* args, VARIANT* result);

struct MemberDescription {
  DISPID id;
  const char* name;
  MemberKind kind;
  int vtable_slot;  // index in the interface's vtable, IUnknown's QueryInterface being 0
  const char* help;
  ParamDescription params[2];  // [in] parameters
  UINT param_count;
  const char* result_name;  // the [out, retval] parameter, or null
  VARTYPE result_type;      // VT_EMPTY when there is none
  MemberInvoker invoke;
};

struct InterfaceDescription {
  const char* name;
  const IID* iid;
  const char* help;
  std::span<const MemberDescription> members;
};

struct LibraryDescription {
  const char* name;
  const GUID* libid;
  WORD major_version;
  WORD minor_version;
  LCID lcid;
  const char* help;
  const char* coclass_name;
  const CLSID* clsid;
  const char* coclass_help;
  const InterfaceDescription* default_interface;
};

const LibraryDescription& velixcom_type_library();
const InterfaceDescription& isigner_description();
