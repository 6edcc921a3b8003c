#include "platform/read_whole_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

FileRead read_whole_file(const char* path, std::vector<uint8_t>* out) {
  out->clear();
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? FileRead::kMissing : FileRead::kFailed;
  uint8_t chunk[8192];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return FileRead::kFailed;
    }
    if (n == 0) break;
    out->insert(out->end(), chunk, chunk + n);
  }
  ::close(fd);
  return FileRead::kOk;
}

}  // namespace platform
