// Reads the registered type library velixcomLib2 the way automation clients
// do and checks it against the published interface: the library and the
// coclass, every member of ISigner with its dispatch id, kind, parameters,
// result and help string as scripts see them, its vtable slot, and the
// dispatch ids the object itself gives for the names. Prints each mismatch;
// exits 0 only when there is none.
#include <cstdio>
#include <string>

#include "comserver/com_api.h"
#include "comserver/guids.h"

namespace {

int g_failures = 0;

void expect(bool ok, const std::string& what) {
  if (ok) return;
  ++g_failures;
  std::printf("FAIL %s\n", what.c_str());
}

std::string ascii(const wchar_t* text) {
  std::string out;
  for (; text != nullptr && *text != 0; ++text) out += *text < 128 ? static_cast<char>(*text) : '?';
  return out;
}

std::string hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

struct Member {
  DISPID id;
  const wchar_t* name;
  INVOKEKIND kind;
  VARTYPE params[2];  // [in] parameters, as a script passes them
  const wchar_t* param_names[2];
  short param_count;
  VARTYPE result;  // the [out, retval] type, VT_VOID when there is none
  const wchar_t* help;
};

constexpr INVOKEKIND kFunc = INVOKE_FUNC;
constexpr INVOKEKIND kGet = INVOKE_PROPERTYGET;
constexpr INVOKEKIND kPut = INVOKE_PROPERTYPUT;

// In vtable order: a property's get before its put.
const Member kMembers[] = {
    {1, L"SignMessage", kFunc, {VT_BSTR}, {L"szMessage"}, 1, VT_BSTR, L"method SignMessage"},
    {2, L"Customer", kGet, {}, {}, 0, VT_I4, L"property Customer"},
    {2, L"Customer", kPut, {VT_I4}, {}, 1, VT_VOID, L"property Customer"},
    {3, L"Operator", kGet, {}, {}, 0, VT_I4, L"property Operator"},
    {3, L"Operator", kPut, {VT_I4}, {}, 1, VT_VOID, L"property Operator"},
    {4, L"Session", kGet, {}, {}, 0, VT_BSTR, L"property Session"},
    {4, L"Session", kPut, {VT_BSTR}, {}, 1, VT_VOID, L"property Session"},
    {5, L"GetStatement", kFunc, {VT_BSTR, VT_BSTR}, {L"szFrom", L"szTo"}, 2, VT_BSTR, L"method GetStatement"},
    {6, L"DecryptMessage", kFunc, {VT_BSTR, VT_I4}, {L"szMessage", L"bShowResult"}, 2, VT_BSTR, L"method DecryptMessage"},
    {7, L"ChangeUser", kFunc, {}, {}, 0, VT_VOID, L"method ChangeUser"},
    {8, L"EditKeys", kFunc, {}, {}, 0, VT_VOID, L"method EditKeys"},
    {9, L"Reset", kFunc, {}, {}, 0, VT_VOID, L"method Reset"},
    {10, L"useUtf8", kGet, {}, {}, 0, VT_BOOL, L"property useUtf8"},
    {10, L"useUtf8", kPut, {VT_BOOL}, {}, 1, VT_VOID, L"property useUtf8"},
    {11, L"UseScreenKbd", kGet, {}, {}, 0, VT_INT, L"property UseScreenKbd"},
    {11, L"UseScreenKbd", kPut, {VT_INT}, {}, 1, VT_VOID, L"property UseScreenKbd"},
    {12, L"SignFile", kFunc, {VT_BSTR}, {L"szFileName"}, 1, VT_BSTR, L"method SignFile"},
    {13, L"Language", kGet, {}, {}, 0, VT_BSTR, L"get current GUI language"},
    {13, L"Language", kPut, {VT_BSTR}, {}, 1, VT_VOID, L"set GUI language"},
    {14, L"Error", kGet, {}, {}, 0, VT_INT, L"get error if has"},
};
constexpr UINT kMemberCount = sizeof kMembers / sizeof kMembers[0];
constexpr int kIDispatchSlots = 7;

std::string doc_string(ITypeInfo* info, MEMBERID id, std::string* name = nullptr) {
  BSTR bname = nullptr;
  BSTR bdoc = nullptr;
  if (FAILED(info->GetDocumentation(id, &bname, &bdoc, nullptr, nullptr))) return "<none>";
  if (name != nullptr) *name = ascii(bname);
  const std::string doc = ascii(bdoc);
  SysFreeString(bname);
  SysFreeString(bdoc);
  return doc;
}

void check_library(ITypeLib* library) {
  TLIBATTR* attr = nullptr;
  if (FAILED(library->GetLibAttr(&attr))) return expect(false, "library attributes");
  expect(IsEqualGUID(attr->guid, LIBID_velixcomLib2), "library id");
  expect(attr->wMajorVerNum == 1 && attr->wMinorVerNum == 0, "library version 1.0");
  expect(attr->lcid == 0, "library locale 0");
  library->ReleaseTLibAttr(attr);
  BSTR name = nullptr;
  BSTR doc = nullptr;
  library->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
  expect(ascii(name) == "velixcomLib2", "library name: " + ascii(name));
  expect(ascii(doc) == "velixcom 1.0 Type Library", "library help: " + ascii(doc));
  SysFreeString(name);
  SysFreeString(doc);

  ITypeInfo* coclass = nullptr;
  if (FAILED(library->GetTypeInfoOfGuid(CLSID_Signer2, &coclass))) return expect(false, "coclass Signer2");
  TYPEATTR* type = nullptr;
  coclass->GetTypeAttr(&type);
  expect(type->typekind == TKIND_COCLASS && (type->wTypeFlags & TYPEFLAG_FCANCREATE) && type->cImplTypes == 1,
         "Signer2 is a creatable coclass with one interface");
  coclass->ReleaseTypeAttr(type);
  std::string name_text;
  expect(doc_string(coclass, MEMBERID_NIL, &name_text) == "Signer2 Class" && name_text == "Signer2",
         "coclass name and help");
  INT flags = 0;
  HREFTYPE ref = 0;
  ITypeInfo* default_interface = nullptr;
  if (SUCCEEDED(coclass->GetImplTypeFlags(0, &flags)) && SUCCEEDED(coclass->GetRefTypeOfImplType(0, &ref)) &&
      SUCCEEDED(coclass->GetRefTypeInfo(ref, &default_interface))) {
    TYPEATTR* interface_attr = nullptr;
    default_interface->GetTypeAttr(&interface_attr);
    expect((flags & IMPLTYPEFLAG_FDEFAULT) && IsEqualGUID(interface_attr->guid, IID_ISigner),
           "ISigner is Signer2's default interface");
    default_interface->ReleaseTypeAttr(interface_attr);
    default_interface->Release();
  } else {
    expect(false, "Signer2's interface");
  }
  coclass->Release();
}

// The members as scripts see them: the dispinterface of the dual ISigner.
void check_dispatch_members(ITypeInfo* info) {
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return expect(false, "ISigner attributes");
  const WORD want_flags = TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;
  expect(IsEqualGUID(attr->guid, IID_ISigner), "ISigner's id");
  expect(attr->typekind == TKIND_DISPATCH, "ISigner seen as a dispinterface");
  expect((attr->wTypeFlags & want_flags) == want_flags,
         "ISigner is dual and not extensible: flags " + std::to_string(attr->wTypeFlags));
  // IDispatch's own seven members come first in a dual's dispinterface.
  const UINT own_first = attr->cFuncs >= kMemberCount ? attr->cFuncs - kMemberCount : 0;
  expect(attr->cFuncs == kMemberCount || attr->cFuncs == kMemberCount + kIDispatchSlots,
         "ISigner has " + std::to_string(kMemberCount) + " members, has " + std::to_string(attr->cFuncs));
  info->ReleaseTypeAttr(attr);
  std::string name;
  expect(doc_string(info, MEMBERID_NIL, &name) == "ISigner Interface" && name == "ISigner", "ISigner's name and help");

  for (UINT i = 0; i < kMemberCount; ++i) {
    const Member& want = kMembers[i];
    const std::string what = ascii(want.name) + (want.kind == kPut ? " (put)" : want.kind == kGet ? " (get)" : "");
    FUNCDESC* desc = nullptr;
    if (FAILED(info->GetFuncDesc(own_first + i, &desc))) {
      expect(false, what + ": no description");
      continue;
    }
    expect(desc->memid == want.id, what + ": dispatch id " + std::to_string(desc->memid));
    expect(desc->invkind == want.kind, what + ": kind");
    expect(desc->cParams == want.param_count, what + ": " + std::to_string(desc->cParams) + " parameters");
    for (short p = 0; p < desc->cParams && p < want.param_count; ++p)
      expect(desc->lprgelemdescParam[p].tdesc.vt == want.params[p],
             what + ": parameter " + std::to_string(p) + " type");
    expect(desc->elemdescFunc.tdesc.vt == want.result,
           what + ": result type " + std::to_string(desc->elemdescFunc.tdesc.vt));
    // Help strings are found by dispatch id, which a put shares with its get.
    if (want.kind != kPut) expect(doc_string(info, want.id) == ascii(want.help), what + ": help");
    info->ReleaseFuncDesc(desc);

    // GetNames: the member, then its named parameters (a put's value has none).
    BSTR names[3] = {};
    UINT count = 0;
    info->GetNames(want.id, names, 3, &count);
    expect(count >= 1 && ascii(names[0]) == ascii(want.name), what + ": name");
    if (want.kind == kFunc) {
      expect(count == static_cast<UINT>(want.param_count) + 1, what + ": parameter names");
      for (UINT p = 1; p < count && p <= static_cast<UINT>(want.param_count); ++p)
        expect(ascii(names[p]) == ascii(want.param_names[p - 1]), what + ": parameter name " + ascii(names[p]));
    }
    for (BSTR n : names) SysFreeString(n);
  }
}

// The vtable slots behind the dispatch ids: the interface form of ISigner,
// which Invoke calls through.
void check_interface_members(ITypeInfo* dispatch) {
  HREFTYPE ref = 0;
  ITypeInfo* info = nullptr;
  if (FAILED(dispatch->GetRefTypeOfImplType(-1, &ref)) || FAILED(dispatch->GetRefTypeInfo(ref, &info)))
    return expect(false, "the vtable interface of the dual ISigner");
  TYPEATTR* attr = nullptr;
  info->GetTypeAttr(&attr);
  expect(attr->typekind == TKIND_INTERFACE && attr->cFuncs == kMemberCount, "ISigner's vtable interface");
  expect((attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION) != 0, "ISigner is OLE automation compatible");
  const UINT count = attr->cFuncs < kMemberCount ? attr->cFuncs : kMemberCount;
  info->ReleaseTypeAttr(attr);
  for (UINT i = 0; i < count; ++i) {
    const Member& want = kMembers[i];
    FUNCDESC* desc = nullptr;
    if (FAILED(info->GetFuncDesc(i, &desc))) continue;
    const std::string what = ascii(want.name) + " slot " + std::to_string(i);
    expect(desc->memid == want.id && desc->invkind == want.kind, what + ": member");
    expect(desc->oVft == static_cast<SHORT>((kIDispatchSlots + i) * sizeof(void*)), what + ": vtable offset");
    expect(desc->elemdescFunc.tdesc.vt == VT_HRESULT, what + ": returns HRESULT");
    info->ReleaseFuncDesc(desc);
  }
  info->Release();
}

// The object's own GetIDsOfNames: names of members and parameters.
void check_object_names(IDispatch* object) {
  UINT count = 0;
  expect(SUCCEEDED(object->GetTypeInfoCount(&count)) && count == 1, "GetTypeInfoCount gives 1");
  for (const Member& want : kMembers) {
    LPOLESTR names[3] = {const_cast<LPOLESTR>(want.name), const_cast<LPOLESTR>(want.param_names[0]),
                         const_cast<LPOLESTR>(want.param_names[1])};
    const UINT asked = want.kind == kFunc ? static_cast<UINT>(want.param_count) + 1 : 1;
    DISPID ids[3] = {-1, -1, -1};
    const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, asked, LOCALE_USER_DEFAULT, ids);
    expect(SUCCEEDED(hr) && ids[0] == want.id, ascii(want.name) + ": GetIDsOfNames " + hex(hr));
    for (UINT p = 1; p < asked; ++p)
      expect(ids[p] == static_cast<DISPID>(p - 1), ascii(want.name) + ": parameter id " + std::to_string(ids[p]));
  }
  LPOLESTR unknown = const_cast<LPOLESTR>(L"NoSuchMember");
  DISPID id = 0;
  expect(object->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, &id) == DISP_E_UNKNOWNNAME,
         "an unknown name gives DISP_E_UNKNOWNNAME");
}

}  // namespace

int main() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  ITypeLib* library = nullptr;
  HRESULT hr = LoadRegTypeLib(LIBID_velixcomLib2, 1, 0, 0, &library);
  expect(SUCCEEDED(hr), "LoadRegTypeLib " + hex(hr));
  if (library != nullptr) {
    check_library(library);
    library->Release();
  }

  CLSID clsid = {};
  hr = CLSIDFromProgID(L"velixcom2.Signer2", &clsid);
  expect(SUCCEEDED(hr) && IsEqualGUID(clsid, CLSID_Signer2), "velixcom2.Signer2 names Signer2 " + hex(hr));
  IDispatch* object = nullptr;
  hr = CoCreateInstance(CLSID_Signer2, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&object));
  expect(SUCCEEDED(hr), "CoCreateInstance " + hex(hr));
  if (object != nullptr) {
    ITypeInfo* info = nullptr;
    hr = object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info);
    expect(SUCCEEDED(hr), "GetTypeInfo " + hex(hr));
    if (info != nullptr) {
      check_dispatch_members(info);
      check_interface_members(info);
      info->Release();
    }
    check_object_names(object);
    object->Release();
  }
  CoUninitialize();
  std::printf("typelib_check: %u members, %d failures\n", kMemberCount, g_failures);
  return g_failures == 0 ? 0 : 1;
}
