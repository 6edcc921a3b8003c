// Registration of the type library in HKEY_CLASSES_ROOT, as RegisterTypeLib,
// UnRegisterTypeLib and LoadRegTypeLib do it: TypeLib\{LIBID}\1.0 with the
// library's file, and Interface\{IID} for its dual interface with the OLE
// automation proxy.
#pragma once

#include <string>

#include "comserver/com/com.h"
#include "comserver/type_description.h"

// library_file is the file that holds the library (the server itself),
// help_directory its directory.
HRESULT register_type_library(const LibraryDescription& library, const std::string& library_file,
                              const std::string& help_directory);
HRESULT unregister_type_library(const LibraryDescription& library);

// Finds the library registered under its id and version and loads it from
// the registered file: TYPE_E_LIBNOTREGISTERED when it is not registered,
// TYPE_E_CANTLOADLIBRARY when the registered file does not hold it.
HRESULT load_registered_type_library(const LibraryDescription& library);
