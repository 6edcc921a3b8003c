// An exclusive lock on a named file, held by this process until released.
// The system drops it when its holder ends, however it ends, so a process
// killed while holding it never blocks the others.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class ExclusiveFileLock {
 public:
  // Takes the lock without waiting, creating the file (mode 0600) when it is
  // missing; held() tells whether it was taken. The file stays in place.
  explicit ExclusiveFileLock(const std::string& path);
  ~ExclusiveFileLock();  // releases the lock
  ExclusiveFileLock(const ExclusiveFileLock&) = delete;
  ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;

  bool held() const { return handle_ != kNoHandle; }

 private:
  static constexpr intptr_t kNoHandle = -1;
  intptr_t handle_ = kNoHandle;  // the system's handle of the open file
};

}  // namespace platform
