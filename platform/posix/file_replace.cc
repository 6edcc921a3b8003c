#include "platform/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace platform {

namespace {

bool write_all(int fd, const uint8_t* data, size_t length) {
  while (length > 0) {
    const ssize_t n = ::write(fd, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

std::string folder_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes the rename itself durable.
void sync_folder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

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

FileReplace replace_file(const char* path, const void* data, size_t length) {
  const std::string target(path);
  std::string temporary = target + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());  // created with mode 0600
  if (fd < 0) return FileReplace::kCreateFailed;
  const bool written = write_all(fd, static_cast<const uint8_t*>(data), length) && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !written) {
    ::unlink(temporary.c_str());
    return FileReplace::kWriteFailed;
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return FileReplace::kCreateFailed;
  }
  sync_folder(folder_of(target));
  return FileReplace::kOk;
}

}  // namespace platform
