// IDispatch of ISigner through OLE automation: names and calls are resolved
// by the system from the registered type library, so scripts reach exactly
// the dispatch ids and vtable slots the library declares.
#include "comserver/automation.h"

#include <mutex>

#include "comserver/guids.h"

namespace {

std::mutex g_loading;
ITypeInfo* g_isigner = nullptr;  // kept for the process once loaded

// The type information of ISigner; a borrowed pointer.
HRESULT isigner(ITypeInfo** out) {
  std::lock_guard<std::mutex> guard(g_loading);
  if (g_isigner == nullptr) {
    ITypeLib* library = nullptr;
    HRESULT hr = LoadRegTypeLib(LIBID_velixcomLib2, 1, 0, LANG_NEUTRAL, &library);
    if (FAILED(hr)) return hr;
    ITypeInfo* info = nullptr;
    hr = library->GetTypeInfoOfGuid(IID_ISigner, &info);
    library->Release();
    if (FAILED(hr)) return hr;
    g_isigner = info;
  }
  *out = g_isigner;
  return S_OK;
}

}  // namespace

HRESULT isigner_type_info(ITypeInfo** out) {
  ITypeInfo* info = nullptr;
  const HRESULT hr = isigner(&info);
  if (FAILED(hr)) return hr;
  info->AddRef();
  *out = info;
  return S_OK;
}

HRESULT isigner_ids_of_names(LPOLESTR* names, UINT count, DISPID* ids) {
  ITypeInfo* info = nullptr;
  const HRESULT hr = isigner(&info);
  if (FAILED(hr)) return hr;
  return DispGetIDsOfNames(info, names, count, ids);
}

HRESULT isigner_invoke(ISigner* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                       EXCEPINFO* exception, UINT* arg_error) {
  ITypeInfo* info = nullptr;
  const HRESULT hr = isigner(&info);
  if (FAILED(hr)) return hr;
  return DispInvoke(object, info, id, flags, params, result, exception, arg_error);
}
