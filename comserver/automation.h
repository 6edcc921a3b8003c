// IDispatch of ISigner, worked from the type library registered for
// velixcomLib2 1.0. The library is looked up once it is registered and kept
// for the process; until then every call fails with the loader's error.
#pragma once

#include "comserver/com_api.h"
#include "comserver/isigner.h"

// A new reference to the type information of ISigner.
HRESULT isigner_type_info(ITypeInfo** out);
HRESULT isigner_ids_of_names(LPOLESTR* names, UINT count, DISPID* ids);
HRESULT isigner_invoke(ISigner* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                       EXCEPINFO* exception, UINT* arg_error);
