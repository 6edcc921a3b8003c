#include "platform/mapped_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

MapError from_errno(int error) {
  switch (error) {
    case ENOENT: return MapError::kNotFound;
    case EINVAL: return MapError::kInvalid;
    case EWOULDBLOCK: return MapError::kInUse;
    case EACCES:
    case EPERM: return MapError::kAccessDenied;
    default: return MapError::kOther;
  }
}

}  // namespace

bool MappedFile::Fail(MapError error) {
  Close();
  last_error_ = error;
  return false;
}

bool MappedFile::Open(const std::string& path, bool read_only, bool exclusive, uint64_t offset,
                      uint64_t length) {
  Close();
  last_error_ = MapError::kNone;
  read_only_ = read_only;
  const int fd = open(path.c_str(), (read_only ? O_RDONLY : O_RDWR) | O_CLOEXEC);
  if (fd < 0) return Fail(from_errno(errno));
  file_ = fd;
  if (exclusive && flock(fd, LOCK_EX | LOCK_NB) != 0) return Fail(from_errno(errno));
  struct stat st {};
  if (fstat(fd, &st) != 0) return Fail(from_errno(errno));
  if (!S_ISREG(st.st_mode)) return Fail(MapError::kInvalid);
  file_size_ = static_cast<uint64_t>(st.st_size);
  if (file_size_ == 0 || offset >= file_size_) return Fail(MapError::kInvalid);  // nothing to map
  if (length == 0) length = file_size_ - offset;
  if (length > file_size_ - offset || length > SIZE_MAX / 2) return Fail(MapError::kInvalid);

  // mmap wants a page-aligned offset: map from the page start, point into it.
  const auto page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  const uint64_t start = offset - offset % page;
  mapping_size_ = static_cast<size_t>(length + (offset - start));
  const int protection = read_only ? PROT_READ : PROT_READ | PROT_WRITE;
  void* mapped = mmap(nullptr, mapping_size_, protection, MAP_SHARED, fd, static_cast<off_t>(start));
  if (mapped == MAP_FAILED) return Fail(from_errno(errno));
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
  if (file_ != kNoHandle) close(static_cast<int>(file_));  // also drops the exclusive lock
  file_ = kNoHandle;
  section_ = kNoHandle;  // mmap needs no mapping object
  mapping_ = nullptr;
  mapping_size_ = 0;
  view_ = nullptr;
  view_size_ = 0;
  file_size_ = 0;
}

}  // namespace platform
