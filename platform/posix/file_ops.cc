#include "platform/file_ops.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

bool file_exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

bool remove_file(const std::string& path) { return unlink(path.c_str()) == 0 || errno == ENOENT; }

bool is_absolute_path(std::string_view path) { return path.starts_with('/'); }

std::string join_path(std::string_view directory, std::string_view name) {
  std::string path(directory);
  path += '/';
  path += name;
  return path;
}

}  // namespace platform
