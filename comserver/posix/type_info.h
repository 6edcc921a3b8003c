// ITypeInfo over our own type description, for IDispatch::GetTypeInfo:
// clients read the interface's members, parameters and help strings, and can
// call through it, without a compiled type library.
#pragma once

#include "comserver/com/com.h"
#include "comserver/posix/type_description.h"

// A new ITypeInfo (one reference) describing `type` of `library`. While it
// lives it keeps the server loaded.
HRESULT create_type_info(const LibraryDescription& library, const InterfaceDescription& type, ITypeInfo** out);
