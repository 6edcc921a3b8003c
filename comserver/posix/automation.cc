// IDispatch of ISigner from the server's own type description, once the
// type library is registered.
#include "comserver/automation.h"

#include <atomic>

#include "comserver/posix/dispatch.h"
#include "comserver/posix/type_description.h"
#include "comserver/posix/type_info.h"
#include "comserver/posix/type_library_lookup.h"

namespace {

std::atomic<bool> g_type_library_loaded{false};

HRESULT type_library() {
  if (g_type_library_loaded) return S_OK;
  const HRESULT hr = load_registered_type_library(velixcom_type_library());
  if (SUCCEEDED(hr)) g_type_library_loaded = true;
  return hr;
}

}  // namespace

HRESULT isigner_type_info(ITypeInfo** out) {
  const HRESULT hr = type_library();
  if (FAILED(hr)) return hr;
  return create_type_info(velixcom_type_library(), isigner_description(), out);
}

HRESULT isigner_ids_of_names(LPOLESTR* names, UINT count, DISPID* ids) {
  const HRESULT hr = type_library();
  if (FAILED(hr)) return hr;
  return dispatch_ids_of_names(isigner_description(), names, count, ids);
}

HRESULT isigner_invoke(ISigner* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                       EXCEPINFO* exception, UINT* arg_error) {
  const HRESULT hr = type_library();
  if (FAILED(hr)) return hr;
  return dispatch_invoke(isigner_description(), object, id, flags, params, result, exception, arg_error);
}
