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

bool is_absolute_path(std::string_view path) {
  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  // A UNC path (two separators: a server and share, or the \\?\ prefix).
  if (path.size() >= 2 && separator(path[0]) && separator(path[1])) return true;
  return path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
         path[1] == ':' && separator(path[2]);
}

std::string join_path(std::string_view directory, std::string_view name) {
  std::string path(directory);
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  path += name;
  return path;
}

}  // namespace platform
