// The file a loaded module (program or shared library) was loaded from.
#pragma once

#include <string>

namespace platform {

// The full path of the module that contains address (any function or object
// of it), as GetModuleFileName gives it; empty when it cannot be found.
std::string module_file_name(const void* address);

// The full path of the running program's executable file, whatever name it
// was started by; empty when it cannot be found.
std::string executable_file_name();

}  // namespace platform
