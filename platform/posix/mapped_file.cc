#include "platform/mapped_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

bool MappedFile::Fail(int error) {
  Close();
  last_error_ = error;
  return false;
}

bool MappedFile::Open(const std::string& path, bool read_only, bool exclusive, uint64_t offset,
                      uint64_t length) {
  Close();
  last_error_ = 0;
  read_only_ = read_only;
  fd_ = open(path.c_str(), (read_only ? O_RDONLY : O_RDWR) | O_CLOEXEC);
  if (fd_ < 0) return Fail(errno);
  if (exclusive && flock(fd_, LOCK_EX | LOCK_NB) != 0) return Fail(errno);
  struct stat st {};
  if (fstat(fd_, &st) != 0) return Fail(errno);
  if (!S_ISREG(st.st_mode)) return Fail(EINVAL);
  file_size_ = static_cast<uint64_t>(st.st_size);
  if (file_size_ == 0 || offset >= file_size_) return Fail(EINVAL);  // nothing to map
  if (length == 0) length = file_size_ - offset;
  if (length > file_size_ - offset || length > SIZE_MAX / 2) return Fail(EINVAL);

  // mmap wants a page-aligned offset: map from the page start, point into it.
  const auto page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  const uint64_t start = offset - offset % page;
  mapping_size_ = static_cast<size_t>(length + (offset - start));
  const int protection = read_only ? PROT_READ : PROT_READ | PROT_WRITE;
  void* mapped = mmap(nullptr, mapping_size_, protection, MAP_SHARED, fd_, static_cast<off_t>(start));
  if (mapped == MAP_FAILED) return Fail(errno);
  mapping_ = mapped;
  view_ = static_cast<uint8_t*>(mapped) + (offset - start);
  view_size_ = static_cast<size_t>(length);
  return true;
}

void MappedFile::Close() {
  if (mapping_ != nullptr) {
    if (!read_only_) msync(mapping_, mapping_size_, MS_SYNC);
    munmap(mapping_, mapping_size_);
  }
  if (fd_ >= 0) close(fd_);  // also drops the exclusive lock
  fd_ = -1;
  mapping_ = nullptr;
  mapping_size_ = 0;
  view_ = nullptr;
  view_size_ = 0;
  file_size_ = 0;
}

}  // namespace platform
