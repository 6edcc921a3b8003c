#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

ExclusiveFileLock::ExclusiveFileLock(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  int taken;
  do {
    taken = flock(fd, LOCK_EX | LOCK_NB);
  } while (taken != 0 && errno == EINTR);
  if (taken != 0) {
    close(fd);
    return;
  }
  handle_ = fd;
}

ExclusiveFileLock::~ExclusiveFileLock() {
  if (handle_ != kNoHandle) close(static_cast<int>(handle_));  // closing the only descriptor releases the lock
}

}  // namespace platform
