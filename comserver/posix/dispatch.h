// IDispatch over an interface description: names to dispatch ids and late-bound
// calls with the argument checks and coercions of OLE automation.
#pragma once

#include "comserver/posix/type_description.h"

// Names compare without regard to letter case. The first name is a member,
// the others its parameters (their positions). Unknown names get
// DISPID_UNKNOWN and the result DISP_E_UNKNOWNNAME.
HRESULT dispatch_ids_of_names(const InterfaceDescription& type, LPOLESTR* names, UINT count, DISPID* ids);

// Calls a member of object. A member that fails is reported as
// DISP_E_EXCEPTION with its HRESULT in the exception's scode when the caller
// gives an EXCEPINFO, else its HRESULT is returned as it is.
HRESULT dispatch_invoke(const InterfaceDescription& type, IDispatch* object, DISPID id, WORD flags,
                        DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT* arg_error);
