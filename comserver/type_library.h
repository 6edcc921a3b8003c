// Registration of the type library velixcomLib2 1.0 in HKEY_CLASSES_ROOT, as
// RegisterTypeLib and UnRegisterTypeLib do it: TypeLib\{LIBID}\1.0 with the
// library's file, and Interface\{IID} for ISigner with the OLE automation
// proxy.
#pragma once

#include <string>

#include "comserver/com_api.h"

// library_file is the file that holds the library (the server itself),
// help_directory its directory.
HRESULT register_type_library(const std::string& library_file, const std::string& help_directory);
// TYPE_E_LIBNOTREGISTERED when it was not registered.
HRESULT unregister_type_library();
