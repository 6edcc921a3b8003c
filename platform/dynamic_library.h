// Dynamic libraries loaded by file name at run time (vendor token libraries).
#pragma once

#include <string>
#include <vector>

namespace platform {

// An opaque handle of a loaded library; nullptr means none.
using LibraryHandle = void*;

// The file name the loader is asked for. A Windows library name "X.dll"
// (any letter case of the suffix) becomes "libX.so" on Linux, the rest of
// the name kept as it is; any other name is returned unchanged.
std::string native_library_name(const char* name);

// Loads a library through the normal loader search; nullptr on failure.
// Loading the same library twice returns the same handle, counted twice.
LibraryHandle load_library(const char* name);

// The address of an exported symbol, or nullptr when it is missing.
void* library_symbol(LibraryHandle library, const char* symbol);

// Releases one load of the library; a null handle is ignored.
void free_library(LibraryHandle library);

// Why the last load_library on this thread failed, in the loader's words;
// empty when it gave none.
std::string last_library_error();

// The other names under which the system's packages may hold the library that
// native_library_name(name) names: on Linux the file name with and without
// the "lib" prefix, in lower case too, through the loader path, then every
// file in the multiarch and usual library folders whose name matches one of
// those without regard to letter case. The native name itself is not among
// them. Empty where the system has no such forms.
std::vector<std::string> packaged_library_names(const char* name);

// Where p11-kit's proxy module may be, in the order to try; it offers every
// PKCS#11 module registered with p11-kit.
std::vector<std::string> token_proxy_module_names();

}  // namespace platform
