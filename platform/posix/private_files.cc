#include "platform/private_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

constexpr mode_t kPermissionBits = 07777;

std::string reason(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

bool os_prepare_private_directory(const std::string& path, std::string* why) {
  if (mkdir(path.c_str(), 0700) == 0) return true;
  if (errno != EEXIST) {
    *why = reason("cannot create the directory");
    return false;
  }
  // A link to a directory is the user's own choice of place (only the user
  // can write in the home); the checks and the mode change act on the
  // directory it leads to.
  const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    *why = reason(errno == ENOTDIR ? "not a directory" : "cannot open the directory");
    return false;
  }
  struct stat st {};
  bool ok = fstat(fd, &st) == 0;
  if (!ok) {
    *why = reason("cannot examine the directory");
  } else if (st.st_uid != geteuid()) {
    *why = "the directory belongs to another user";
    ok = false;
  } else if ((st.st_mode & kPermissionBits) != 0700 && fchmod(fd, 0700) != 0) {
    *why = reason("cannot make the directory private");
    ok = false;
  }
  close(fd);
  return ok;
}

bool os_prepare_private_directory_with_parents(const std::string& path, std::string* why) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    mkdir(path.substr(0, slash).c_str(), 0700);  // one that exists (or cannot be made) shows below
  return os_prepare_private_directory(path, why);
}

int os_open_private_file_for_append(const std::string& path, std::string* why) {
  constexpr int kFlags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  int fd = open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0600);
  if (fd >= 0) return fd;
  if (errno != EEXIST) {
    *why = reason("cannot create the file");
    return -1;
  }
  fd = open(path.c_str(), kFlags);
  if (fd < 0) {
    *why = reason(errno == ELOOP ? "a link stands in the file's place" : "cannot open the file");
    return -1;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() ||
      ((st.st_mode & kPermissionBits) != 0600 && fchmod(fd, 0600) != 0)) {
    *why = "an entry that is not a private file of ours stands in the file's place";
    close(fd);
    return -1;
  }
  return fd;
}

bool os_append_and_close(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool durable = done == bytes.size() && fsync(fd) == 0;
  close(fd);
  return durable;
}

}  // namespace platform
