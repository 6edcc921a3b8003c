#include "tools/com_client/com_client.h"

#include "platform/codepage.h"
#include "platform/registry.h"

namespace com_client {

namespace {

using platform::RegHive;
using platform::RegKey;

// The default value of a key as text, or empty when missing.
bool default_text(const std::string& key_path, std::string* text) {
  RegKey key;
  if (key.Open(RegHive::kClassesRoot, key_path) != platform::kRegOk) return false;
  uint32_t size = 0;
  uint32_t type = 0;
  if (key.QueryValue("", &type, nullptr, &size) != platform::kRegOk || type != platform::kRegSz) return false;
  std::string data(size, '\0');
  if (key.QueryValue("", &type, data.data(), &size) != platform::kRegOk) return false;
  data.resize(size);
  while (!data.empty() && data.back() == '\0') data.pop_back();
  *text = data;
  return true;
}

std::u16string wide(const std::string& utf8) { return platform::utf8_to_utf16(utf8); }

std::string registry_form(REFGUID guid) {
  OLECHAR text[39];
  StringFromGUID2(guid, text, 39);
  return std::string(text, text + 38);
}

HRESULT id_of(IDispatch* object, const std::string& name, DISPID* id) {
  std::u16string w = wide(name);
  LPOLESTR names[] = {w.data()};
  return object->GetIDsOfNames(IID_NULL, names, 1, 0, id);
}

std::string text_of(VARIANT* value) {
  if (value->vt == VT_EMPTY) return {};
  VARIANT text;
  VariantInit(&text);
  if (FAILED(VariantChangeType(&text, value, 0, VT_BSTR))) return "?";
  std::string out = platform::utf16_to_utf8(bstr_view(text.bstrVal));
  VariantClear(&text);
  return out;
}

CallResult invoke(IDispatch* object, const std::string& name, WORD flags, std::vector<std::string> args) {
  CallResult result;
  DISPID id = DISPID_UNKNOWN;
  result.hr = id_of(object, name, &id);
  if (FAILED(result.hr)) return result;
  // Arguments go last one first.
  std::vector<VARIANT> values(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    VARIANT& v = values[args.size() - 1 - i];
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = bstr_from(wide(args[i]));
  }
  DISPID named = DISPID_PROPERTYPUT;
  const bool is_put = flags == DISPATCH_PROPERTYPUT;
  DISPPARAMS params = {values.data(), is_put ? &named : nullptr, static_cast<UINT>(values.size()), is_put ? 1u : 0u};
  VARIANT value;
  VariantInit(&value);
  EXCEPINFO exception{};
  UINT arg_error = 0;
  result.hr = object->Invoke(id, IID_NULL, 0, flags, &params, is_put ? nullptr : &value, &exception, &arg_error);
  if (result.hr == DISP_E_EXCEPTION) result.exception = exception.scode;
  result.text = text_of(&value);
  VariantClear(&value);
  for (VARIANT& v : values) VariantClear(&v);
  return result;
}

}  // namespace

HRESULT clsid_from_prog_id(const std::string& prog_id, CLSID* clsid) {
  std::string current = prog_id;
  // CurVer names the current version of a ProgID; a chain ends within a few steps.
  for (int depth = 0; depth < 8; ++depth) {
    std::string next;
    if (!default_text(current + "\\CurVer", &next) || next == current) break;
    current = next;
  }
  std::string text;
  if (!default_text(current + "\\CLSID", &text)) return REGDB_E_CLASSNOTREG;
  const std::u16string w = wide(text);
  return FAILED(CLSIDFromString(w.c_str(), clsid)) ? REGDB_E_CLASSNOTREG : S_OK;
}

HRESULT in_process_server(REFCLSID clsid, std::string* path) {
  if (!default_text("CLSID\\" + registry_form(clsid) + "\\InprocServer32", path) || path->empty())
    return REGDB_E_CLASSNOTREG;
  return S_OK;
}

// velixcom stays loaded until the process ends: it keeps its engines (and the
// vendor libraries they loaded) for the life of the process, so a client that
// unloaded it would only lose what it keeps.
LoadedServer::~LoadedServer() = default;

HRESULT LoadedServer::Load(const std::string& prog_id) {
  HRESULT hr = clsid_from_prog_id(prog_id, &clsid_);
  if (FAILED(hr)) return hr;
  std::string path;
  hr = in_process_server(clsid_, &path);
  if (FAILED(hr)) return hr;
  library_ = platform::load_library(path.c_str());
  if (library_ == nullptr) return HRESULT_FROM_WIN32(126);  // ERROR_MOD_NOT_FOUND
  get_class_object_ = reinterpret_cast<DllGetClassObjectFunction>(platform::library_symbol(library_, "DllGetClassObject"));
  can_unload_now_ = reinterpret_cast<DllCanUnloadNowFunction>(platform::library_symbol(library_, "DllCanUnloadNow"));
  if (get_class_object_ == nullptr || can_unload_now_ == nullptr) return HRESULT_FROM_WIN32(127);  // ERROR_PROC_NOT_FOUND
  return S_OK;
}

HRESULT LoadedServer::Create(IDispatch** object) {
  if (get_class_object_ == nullptr) return E_UNEXPECTED;
  IClassFactory* factory = nullptr;
  HRESULT hr = get_class_object_(clsid_, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(object));
  factory->Release();
  return hr;
}

HRESULT LoadedServer::CanUnloadNow() {
  if (can_unload_now_ == nullptr) return S_OK;
  const HRESULT hr = can_unload_now_();
  if (hr == S_OK) {
    // Nothing more is asked of the server; it stays mapped (see the destructor).
    get_class_object_ = nullptr;
    can_unload_now_ = nullptr;
  }
  return hr;
}

CallResult get(IDispatch* object, const std::string& name) {
  return invoke(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {});
}

CallResult put(IDispatch* object, const std::string& name, const std::string& value) {
  return invoke(object, name, DISPATCH_PROPERTYPUT, {value});
}

CallResult call(IDispatch* object, const std::string& name, const std::vector<std::string>& args) {
  return invoke(object, name, DISPATCH_METHOD, args);
}

}  // namespace com_client
