#include "platform/new_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

NewFile write_new_file(const char* path, const void* data, size_t length, bool private_to_user) {
  const mode_t mode = private_to_user ? 0600 : 0644;
  const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) return errno == EEXIST ? NewFile::kExists : NewFile::kFailed;
  const auto* bytes = static_cast<const char*>(data);
  size_t written = 0;
  while (written < length) {
    const ssize_t n = write(fd, bytes + written, length - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  const bool ok = written == length && fsync(fd) == 0;
  if (close(fd) != 0 || !ok) {
    unlink(path);
    return NewFile::kFailed;
  }
  return NewFile::kWritten;
}

}  // namespace platform
