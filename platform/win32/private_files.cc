// The user's own log folder and files on Windows: the folder lies in the
// user's profile, whose permissions already keep other users out; a link
// (reparse point) standing in a log file's place is refused, not followed.
#include "platform/private_files.h"

#include <fcntl.h>
#include <io.h>

#include "platform/win32/windows_api.h"

namespace platform {

namespace {

std::string reason(const char* what, DWORD error) { return std::string(what) + ": " + win32::system_message(error); }

}  // namespace

bool os_prepare_private_directory(const std::string& path, std::string* why) {
  const std::wstring wide = win32::widen_utf8(path);
  if (CreateDirectoryW(wide.c_str(), nullptr)) return true;
  const DWORD error = GetLastError();
  if (error != ERROR_ALREADY_EXISTS) {
    *why = reason("cannot create the directory", error);
    return false;
  }
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    *why = "not a directory";
    return false;
  }
  return true;
}

bool os_prepare_private_directory_with_parents(const std::string& path, std::string* why) {
  // Past the drive ("C:\"): every folder above the last one.
  for (size_t separator = path.find_first_of("\\/", 3); separator != std::string::npos;
       separator = path.find_first_of("\\/", separator + 1))
    CreateDirectoryW(win32::widen_utf8(path.substr(0, separator)).c_str(), nullptr);
  return os_prepare_private_directory(path, why);
}

int os_open_private_file_for_append(const std::string& path, std::string* why) {
  HANDLE file = CreateFileW(win32::widen_utf8(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *why = reason("cannot open the file", GetLastError());
    return -1;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
      GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    *why = "a link or something other than a file stands in the file's place";
    return -1;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_APPEND | _O_WRONLY);
  if (fd < 0) {
    CloseHandle(file);
    *why = "cannot open the file";
  }
  return fd;
}

bool os_append_and_close(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const int n = _write(fd, bytes.data() + done, static_cast<unsigned>(bytes.size() - done));
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool durable = done == bytes.size() && _commit(fd) == 0;
  _close(fd);
  return durable;
}

}  // namespace platform
