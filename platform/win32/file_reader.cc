// Reading a file through a Windows file handle: ReadFile at explicit offsets.
#include "platform/file_reader.h"

#include <cerrno>
#include <climits>

#include "platform/win32/windows_api.h"

namespace platform {
namespace {

// The system's reason as the errno value the interface promises.
int errno_of(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED: return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EWOULDBLOCK;
    default: return EIO;
  }
}

HANDLE as_handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

bool FileReader::Fail(int error) {
  Close();
  last_error_ = error;
  return false;
}

bool FileReader::Open(const std::string& path, bool exclusive) {
  Close();
  last_error_ = 0;
  // Exclusive: readers only beside us, and no writer may hold the file now.
  // Otherwise the file may be written, renamed or removed while we read, as
  // on Linux. Backup semantics let a directory open, so that it can be told.
  const DWORD sharing = exclusive ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE file = CreateFileW(win32::widen_utf8(path).c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Fail(errno_of(GetLastError()));
  handle_ = reinterpret_cast<intptr_t>(file);
  // Devices ("NUL", "CON") and pipes are not files to sign.
  if (GetFileType(file) != FILE_TYPE_DISK) return Fail(EINVAL);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return Fail(errno_of(GetLastError()));
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Fail(EISDIR);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) return Fail(errno_of(GetLastError()));
  size_ = static_cast<uint64_t>(size.QuadPart);
  return true;
}

void FileReader::Close() {
  if (handle_ != kNoHandle) CloseHandle(as_handle(handle_));
  handle_ = kNoHandle;
  size_ = 0;
}

long FileReader::ReadAt(uint64_t offset, void* buffer, size_t capacity) {
  if (handle_ == kNoHandle || offset > static_cast<uint64_t>(LLONG_MAX)) {
    last_error_ = EBADF;
    return -1;
  }
  if (capacity > static_cast<size_t>(LONG_MAX)) capacity = static_cast<size_t>(LONG_MAX);
  size_t done = 0;
  while (done < capacity) {
    // The offset travels with each read, so no shared file position is used.
    const uint64_t at = offset + done;
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(at);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    const size_t left = capacity - done;
    const DWORD wanted = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
    DWORD got = 0;
    if (!ReadFile(as_handle(handle_), static_cast<char*>(buffer) + done, wanted, &got, &position)) {
      const DWORD error = GetLastError();
      if (error == ERROR_HANDLE_EOF) break;  // at or past the file's end
      last_error_ = errno_of(error);
      return -1;
    }
    if (got == 0) break;
    done += got;
  }
  return static_cast<long>(done);
}

}  // namespace platform
