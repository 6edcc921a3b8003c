// The COM binary layer: everything the server and its clients include.
#pragma once

#include "comserver/com/bstr.h"
#include "comserver/com/guid.h"
#include "comserver/com/interfaces.h"
#include "comserver/com/type_info.h"
#include "comserver/com/types.h"
#include "comserver/com/variant.h"
