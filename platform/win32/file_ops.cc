#include "platform/file_ops.h"

#include "platform/win32/windows_api.h"

namespace platform {

bool file_exists(const std::string& path) {
  return GetFileAttributesW(win32::widen_utf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool remove_file(const std::string& path) {
  if (DeleteFileW(win32::widen_utf8(path).c_str())) return true;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::string join_path(std::string_view directory, std::string_view name) {
  std::string path(directory);
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  path += name;
  return path;
}

}  // namespace platform
