// The identifiers of velixcom. They are fixed for the life of the product:
// clients and registrations out in the field depend on them.
#pragma once

#include "comserver/com_api.h"

extern const CLSID CLSID_Signer2;      // coclass Signer2
extern const GUID LIBID_velixcomLib2;  // type library velixcomLib2 1.0
extern const IID IID_ISigner;          // dual interface ISigner
extern const GUID APPID_velixcom;      // the server's application id

// Registry form of the application id, the replacement for %APPID%.
inline constexpr char kAppIdText[] = "{D58EB931-759A-4B2F-89E9-72E8210BAB16}";
