// The COM and OLE automation API the server is written against. The build
// names its header in VELIXCOM_COM_API: the system's own headers on Windows
// (comserver/win32/com_api.h), the project's binary layer elsewhere
// (comserver/com/com.h).
#pragma once

#include VELIXCOM_COM_API
