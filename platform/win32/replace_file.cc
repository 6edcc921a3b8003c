#include "platform/replace_file.h"

#include <cstdint>
#include <string>

#include "platform/win32/windows_api.h"

#include <bcrypt.h>

namespace platform {
namespace {

ReplaceFailure failure_of(DWORD error) {
  switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_WRITE_FAULT:
    case ERROR_CRC: return ReplaceFailure::kWrite;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ReplaceFailure::kNoMemory;
    default: return ReplaceFailure::kCreate;
  }
}

bool write_all(HANDLE file, const void* data, size_t length) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (length > 0) {
    const DWORD chunk = length > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length);
    DWORD done = 0;
    if (!WriteFile(file, p, chunk, &done, nullptr)) return false;
    p += done;
    length -= done;
  }
  return true;
}

}  // namespace

// The new file is made exclusively beside the old one (so the move stays on
// one volume), flushed, then moved over the old one with write-through.
bool replace_file(const char* path, const void* data, size_t length, ReplaceFailure* failure) {
  if (failure != nullptr) *failure = ReplaceFailure::kNone;
  const std::wstring target = win32::widen_utf8(path);
  std::wstring temp;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 16 && file == INVALID_HANDLE_VALUE; ++attempt) {
    uint32_t tag = 0;
    BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&tag), sizeof tag, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    temp = target + L"." + std::to_wstring(tag) + L".tmp";
    file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    if (failure != nullptr) *failure = failure_of(GetLastError());
    return false;
  }
  bool ok = write_all(file, data, length) && FlushFileBuffers(file);
  DWORD cause = ok ? 0 : GetLastError();
  CloseHandle(file);
  if (ok && !MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
    cause = GetLastError();
  }
  if (!ok) {
    DeleteFileW(temp.c_str());
    if (failure != nullptr) *failure = failure_of(cause);
  }
  return ok;
}

}  // namespace platform
