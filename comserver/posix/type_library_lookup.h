// LoadRegTypeLib for the server's own type description: finds the library
// registered under its id and version and checks the registered file.
#pragma once

#include "comserver/com/com.h"
#include "comserver/posix/type_description.h"

// TYPE_E_LIBNOTREGISTERED when it is not registered, TYPE_E_CANTLOADLIBRARY
// when the registered file is not there to load it from.
HRESULT load_registered_type_library(const LibraryDescription& library);
