#include "platform/mapped_file.h"

#include "platform/win32/windows_api.h"

namespace platform {
namespace {

MapError from_last_error() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return MapError::kNotFound;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return MapError::kInUse;
    case ERROR_ACCESS_DENIED: return MapError::kAccessDenied;
    default: return MapError::kOther;
  }
}

HANDLE as_handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

bool MappedFile::Fail(MapError error) {
  Close();
  last_error_ = error;
  return false;
}

// An exclusive open shares the file with nobody, a shared one with readers
// and writers that share it too.
bool MappedFile::Open(const std::string& path, bool read_only, bool exclusive, uint64_t offset,
                      uint64_t length) {
  Close();
  last_error_ = MapError::kNone;
  read_only_ = read_only;
  const DWORD access = read_only ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  const DWORD sharing = exclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE file = CreateFileW(win32::widen_utf8(path).c_str(), access, sharing, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    // A directory cannot be opened as a file: it is no file to map.
    const DWORD attributes = GetFileAttributesW(win32::widen_utf8(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      return Fail(MapError::kInvalid);
    return Fail(from_last_error());
  }
  file_ = reinterpret_cast<intptr_t>(file);
  if (GetFileType(file) != FILE_TYPE_DISK) return Fail(MapError::kInvalid);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) return Fail(from_last_error());
  file_size_ = static_cast<uint64_t>(size.QuadPart);
  if (file_size_ == 0 || offset >= file_size_) return Fail(MapError::kInvalid);  // nothing to map
  if (length == 0) length = file_size_ - offset;
  if (length > file_size_ - offset || length > SIZE_MAX / 2) return Fail(MapError::kInvalid);

  HANDLE section = CreateFileMappingW(file, nullptr, read_only ? PAGE_READONLY : PAGE_READWRITE, 0, 0, nullptr);
  if (section == nullptr) return Fail(from_last_error());
  section_ = reinterpret_cast<intptr_t>(section);
  // Views start on an allocation-granularity boundary: map from there, point into it.
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  const uint64_t start = offset - offset % system.dwAllocationGranularity;
  mapping_size_ = static_cast<size_t>(length + (offset - start));
  void* view = MapViewOfFile(section, read_only ? FILE_MAP_READ : FILE_MAP_READ | FILE_MAP_WRITE,
                             static_cast<DWORD>(start >> 32), static_cast<DWORD>(start), mapping_size_);
  if (view == nullptr) return Fail(from_last_error());
  mapping_ = view;
  view_ = static_cast<uint8_t*>(view) + (offset - start);
  view_size_ = static_cast<size_t>(length);
  return true;
}

void MappedFile::Close() {
  if (mapping_ != nullptr) {
    if (!read_only_) {
      FlushViewOfFile(mapping_, mapping_size_);
      FlushFileBuffers(as_handle(file_));
    }
    UnmapViewOfFile(mapping_);
  }
  if (section_ != kNoHandle) CloseHandle(as_handle(section_));
  if (file_ != kNoHandle) CloseHandle(as_handle(file_));
  file_ = kNoHandle;
  section_ = kNoHandle;
  mapping_ = nullptr;
  mapping_size_ = 0;
  view_ = nullptr;
  view_size_ = 0;
  file_size_ = 0;
}

}  // namespace platform
