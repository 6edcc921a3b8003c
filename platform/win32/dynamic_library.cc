// Dynamic libraries through the Windows loader.
#include "platform/dynamic_library.h"

#include "platform/win32/windows_api.h"

namespace platform {

// Windows loads "X.dll" by that very name.
std::string native_library_name(const char* name) { return name == nullptr ? std::string() : name; }

LibraryHandle load_library(const char* name) {
  if (name == nullptr || *name == '\0') return nullptr;
  // No "cannot find the library" box for a vendor library that is not installed.
  const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryA(name);
  SetErrorMode(previous);
  return reinterpret_cast<LibraryHandle>(module);
}

void* library_symbol(LibraryHandle library, const char* symbol) {
  if (library == nullptr || symbol == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), symbol));
}

void free_library(LibraryHandle library) {
  if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace platform
