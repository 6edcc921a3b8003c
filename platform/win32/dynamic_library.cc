// Dynamic libraries through the Windows loader.
#include "platform/dynamic_library.h"

#include "platform/win32/windows_api.h"

namespace platform {
namespace {

thread_local char t_last_error[512];

}  // namespace

// Windows loads "X.dll" by that very name.
std::string native_library_name(const char* name) { return name == nullptr ? std::string() : name; }

LibraryHandle load_library(const char* name) {
  t_last_error[0] = '\0';
  if (name == nullptr || *name == '\0') return nullptr;
  // No "cannot find the library" box for a vendor library that is not installed.
  const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryA(name);
  const DWORD error = module == nullptr ? GetLastError() : ERROR_SUCCESS;
  SetErrorMode(previous);
  if (module == nullptr) win32::keep_text(t_last_error, win32::system_message(error));
  return reinterpret_cast<LibraryHandle>(module);
}

std::string last_library_error() { return t_last_error; }

void* library_symbol(LibraryHandle library, const char* symbol) {
  if (library == nullptr || symbol == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), symbol));
}

void free_library(LibraryHandle library) {
  if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

// The loader finds "X.dll" in any letter case on its own search path; the
// packages install no other forms of the name.
std::vector<std::string> packaged_library_names(const char*) { return {}; }

// There is no p11-kit on Windows: no proxy module to fall back to.
std::vector<std::string> token_proxy_module_names() { return {}; }

}  // namespace platform
