// Registration of the server in HKEY_CLASSES_ROOT; the first failure ends it.
#pragma once

#include "comserver/com_api.h"

HRESULT register_server();
HRESULT unregister_server();
