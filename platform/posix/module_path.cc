#include "platform/module_path.h"

#include <dlfcn.h>
#include <stdlib.h>

namespace platform {

std::string module_file_name(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  // The loader reports the name it was given; make it absolute.
  char* resolved = realpath(info.dli_fname, nullptr);
  if (resolved == nullptr) return info.dli_fname;
  std::string path(resolved);
  free(resolved);
  return path;
}

}  // namespace platform
