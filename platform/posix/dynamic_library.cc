// Dynamic libraries through the POSIX loader.
#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <cstring>
#include <strings.h>

namespace platform {

std::string native_library_name(const char* name) {
  if (name == nullptr) return {};
  const size_t length = std::strlen(name);
  constexpr size_t kSuffix = 4;  // ".dll"
  if (length <= kSuffix || strcasecmp(name + length - kSuffix, ".dll") != 0) return name;
  // Only a bare file name takes the "lib" prefix; a path keeps its directory.
  const char* slash = std::strrchr(name, '/');
  const size_t base = slash == nullptr ? 0 : static_cast<size_t>(slash - name) + 1;
  std::string result(name, base);
  result += "lib";
  result.append(name + base, length - kSuffix - base);
  result += ".so";
  return result;
}

LibraryHandle load_library(const char* name) {
  if (name == nullptr || *name == '\0') return nullptr;
  const std::string file = native_library_name(name);
  return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* library_symbol(LibraryHandle library, const char* symbol) {
  if (library == nullptr || symbol == nullptr) return nullptr;
  return dlsym(library, symbol);
}

void free_library(LibraryHandle library) {
  if (library != nullptr) dlclose(library);
}

}  // namespace platform
