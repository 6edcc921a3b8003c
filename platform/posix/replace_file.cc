#include "platform/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace platform {
namespace {

bool write_all(int fd, const void* data, size_t length) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (length > 0) {
    const ssize_t done = ::write(fd, p, length);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += done;
    length -= static_cast<size_t>(done);
  }
  return true;
}

// The rename is recorded once the directory itself is synced.
void sync_directory_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

ReplaceFailure failure_of(int error) {
  switch (error) {
    case ENOSPC:
    case EIO:
    case EFBIG: return ReplaceFailure::kWrite;
    case ENOMEM: return ReplaceFailure::kNoMemory;
    default: return ReplaceFailure::kCreate;
  }
}

}  // namespace

bool replace_file(const char* path, const void* data, size_t length, ReplaceFailure* failure) {
  if (failure != nullptr) *failure = ReplaceFailure::kNone;
  std::string temp = std::string(path) + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);  // created with mode 0600
  if (fd < 0) {
    if (failure != nullptr) *failure = failure_of(errno);
    return false;
  }
  bool ok = write_all(fd, data, length) && ::fsync(fd) == 0;
  int cause = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    cause = errno;
  }
  if (ok && ::rename(temp.c_str(), path) != 0) {
    ok = false;
    cause = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    if (failure != nullptr) *failure = failure_of(cause);
    return false;
  }
  sync_directory_of(path);
  return true;
}

}  // namespace platform
