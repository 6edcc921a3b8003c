#include "platform/module_path.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

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

std::string executable_file_name() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof path) return {};
  return std::string(path, static_cast<size_t>(length));
}

}  // namespace platform
