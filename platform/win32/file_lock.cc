#include "platform/file_lock.h"

#include "platform/win32/windows_api.h"

namespace platform {

// Opening the file with no sharing is the lock: nobody else can open it
// until the handle is closed, which the system does when its holder ends.
ExclusiveFileLock::ExclusiveFileLock(const std::string& path) {
  const std::wstring name = win32::widen_utf8(path);
  HANDLE file = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  handle_ = reinterpret_cast<intptr_t>(file);
}

ExclusiveFileLock::~ExclusiveFileLock() {
  if (handle_ != kNoHandle) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

}  // namespace platform
