// Dynamic libraries loaded by file name at run time (vendor token libraries).
#pragma once

#include <string>

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

}  // namespace platform
