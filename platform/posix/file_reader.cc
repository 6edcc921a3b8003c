#include "platform/file_reader.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace platform {

bool FileReader::Fail(int error) {
  Close();
  last_error_ = error;
  return false;
}

bool FileReader::Open(const std::string& path, bool exclusive) {
  Close();
  last_error_ = 0;
  // O_NONBLOCK: a FIFO planted under the name must not stall the open.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Fail(errno);
  handle_ = fd;
  struct stat st {};
  if (fstat(fd, &st) != 0) return Fail(errno);
  if (!S_ISREG(st.st_mode)) return Fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  if (exclusive && flock(fd, LOCK_EX | LOCK_NB) != 0) return Fail(errno);
  size_ = static_cast<uint64_t>(st.st_size);
  return true;
}

void FileReader::Close() {
  if (handle_ != kNoHandle) close(static_cast<int>(handle_));  // also drops the exclusive lock
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
    const ssize_t got = pread(static_cast<int>(handle_), static_cast<char*>(buffer) + done, capacity - done,
                              static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      last_error_ = errno;
      return -1;
    }
    if (got == 0) break;  // the file's end
    done += static_cast<size_t>(got);
  }
  return static_cast<long>(done);
}

}  // namespace platform
