#include "platform/posix/hive_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>

namespace platform::posix {

namespace {

const char* root_name(RegHive hive) {
  return hive == RegHive::kClassesRoot ? "HKEY_CLASSES_ROOT" : "HKEY_CURRENT_USER";
}

std::string home_directory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
  return ".";
}

bool make_directories(const std::string& path) {
  for (size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos != path.size() && path[pos] != '/') continue;
    const std::string prefix = path.substr(0, pos);
    if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

// Why this thread's last store failed. A plain array: a thread-local object
// with a destructor would keep velixcom from being unloaded (see t_batch).
thread_local char t_failure[512];

void set_failure(const std::string& why) {
  const size_t length = std::min(why.size(), sizeof t_failure - 1);
  std::memcpy(t_failure, why.data(), length);
  t_failure[length] = '\0';
}

std::string describe(const char* what, const std::string& path, int error) {
  return std::string(what) + " " + path + ": " + std::strerror(error);
}

// What reading the hive file gave: its text, or no file at all (the only case
// that counts as an empty hive), or a failure that must leave the file alone.
struct FileRead {
  enum Status { kRead, kMissing, kFailed } status = kFailed;
  std::string text;
  std::string failure;
};

// Opens without blocking and refuses anything but a regular file at once, so a
// FIFO or a device planted as the hive can neither hang the process nor be
// replaced by an empty hive.
FileRead read_file(const std::string& path) {
  FileRead result;
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) result.status = FileRead::kMissing;
    else result.failure = describe("cannot read", path, errno);
    return result;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    result.failure = "cannot read " + path + ": not a regular file";
    close(fd);
    return result;
  }
  char buffer[8192];
  while (true) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      result.failure = describe("cannot read", path, errno);
      close(fd);
      return result;
    }
    if (got == 0) break;
    result.text.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  result.status = FileRead::kRead;
  return result;
}

bool write_all(int fd, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t wrote = write(fd, content.data() + done, content.size() - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(wrote);
  }
  return true;
}

void sync_directory(const std::string& directory) {
  const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// Temporary file, fsync, rename: the hive file is always the old or the new
// content, never a mixture. The temporary file gets a name of its own, created
// exclusively with mode 0600 (mkostemp), so nothing planted under a guessable
// name is followed or overwritten. Only called under the hive lock.
bool write_atomically(const std::string& path, const std::string& content) {
  std::string temporary = path + ".XXXXXX";
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    set_failure(describe("cannot create a file beside", path, errno));
    return false;
  }
  int error = 0;
  if (!write_all(fd, content) || fsync(fd) != 0) error = errno;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error != 0) {
    set_failure(describe("cannot write", temporary, error));
  } else if (rename(temporary.c_str(), path.c_str()) != 0) {
    error = errno;
    set_failure(describe("cannot replace", path, error));
  }
  if (error != 0) {
    unlink(temporary.c_str());
    return false;
  }
  sync_directory(hive_directory());
  return true;
}

// Holds the hive's lock file locked (flock: excludes other processes and other
// threads, which open the lock file on their own).
class HiveLock {
 public:
  explicit HiveLock(RegHive hive) {
    const std::string path = hive_file_path(hive) + ".lock";
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd_ < 0) {
      set_failure(describe("cannot lock", path, errno));
      return;
    }
    while (flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        set_failure(describe("cannot lock", path, errno));
        close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~HiveLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
  }
  HiveLock(const HiveLock&) = delete;
  HiveLock& operator=(const HiveLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Moves a damaged hive file out of the way, keeping its bytes for inspection.
void set_aside(const std::string& path) {
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
  const std::string base = path + ".damaged-" + stamp + "-" + std::to_string(getpid());
  std::string target = base;
  for (int n = 1; access(target.c_str(), F_OK) == 0; ++n) target = base + "-" + std::to_string(n);
  rename(path.c_str(), target.c_str());
}

// Reads and parses the stored hive under the lock; a damaged file is set
// aside and replaced by its readable part. nullopt (and t_failure) when the
// file exists but cannot be read: it must not be replaced then.
std::optional<HiveData> load_locked(RegHive hive) {
  const std::string path = hive_file_path(hive);
  FileRead file = read_file(path);
  if (file.status == FileRead::kMissing) return HiveData();
  if (file.status == FileRead::kFailed) {
    set_failure(file.failure);
    return std::nullopt;
  }
  ParsedHive parsed = parse_reg_file(file.text, root_name(hive));
  if (parsed.damaged) {
    set_aside(path);
    write_atomically(path, format_reg_file(parsed.hive, root_name(hive)));
  }
  return std::move(parsed.hive);
}

// The batch open on this thread, per hive: its lock and its changed content.
struct OpenBatch {
  struct Hive {
    std::unique_ptr<HiveLock> lock;
    std::optional<HiveData> data;
    bool changed = false;
  };
  int depth = 0;
  Hive hives[2];
};

// Made when a batch begins and freed when it ends: a thread-local object with
// a destructor would keep a library that links this file (velixcom) from being
// unloaded when its host closes it, and then be unloaded under its own exit
// handlers.
thread_local OpenBatch* t_batch = nullptr;

bool in_batch() { return t_batch != nullptr && t_batch->depth > 0; }

OpenBatch::Hive& batch_of(RegHive hive) {
  return t_batch->hives[hive == RegHive::kClassesRoot ? 1 : 0];
}

bool store(RegHive hive, const HiveData& data) {
  return write_atomically(hive_file_path(hive), format_reg_file(data, root_name(hive)));
}

bool make_hive_directory() {
  const std::string directory = hive_directory();
  if (make_directories(directory)) return true;
  set_failure(describe("cannot create", directory, errno));
  return false;
}

}  // namespace

std::string hive_directory() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string base =
      (config != nullptr && *config == '/') ? std::string(config) : home_directory() + "/.config";
  return base + "/velixcom";
}

std::string hive_file_path(RegHive hive) {
  return hive_directory() + "/" + root_name(hive) + ".reg";
}

HiveData load_hive(RegHive hive) {
  if (in_batch() && batch_of(hive).data) return *batch_of(hive).data;
  // Files are replaced by rename, so a reader sees a whole file without a lock.
  FileRead file = read_file(hive_file_path(hive));
  if (file.status != FileRead::kRead) {
    if (file.status == FileRead::kFailed) set_failure(file.failure);
    return HiveData();
  }
  ParsedHive parsed = parse_reg_file(file.text, root_name(hive));
  if (!parsed.damaged) return std::move(parsed.hive);
  if (!make_directories(hive_directory())) return std::move(parsed.hive);
  HiveLock lock(hive);
  if (!lock.held()) return std::move(parsed.hive);
  std::optional<HiveData> data = load_locked(hive);
  return data ? std::move(*data) : std::move(parsed.hive);
}

long update_hive(RegHive hive, const std::function<long(HiveData&, bool* changed)>& change) {
  if (!in_batch()) t_failure[0] = '\0';
  if (!make_hive_directory()) return kRegCannotWrite;
  if (in_batch()) {
    OpenBatch::Hive& batch = batch_of(hive);
    if (!batch.data) {
      auto lock = std::make_unique<HiveLock>(hive);
      if (!lock->held()) return kRegCannotWrite;
      std::optional<HiveData> data = load_locked(hive);
      if (!data) return kRegCannotWrite;
      batch.lock = std::move(lock);
      batch.data = std::move(data);
    }
    bool changed = false;
    const long result = change(*batch.data, &changed);
    if (result == kRegOk && changed) batch.changed = true;
    return result;
  }
  HiveLock lock(hive);
  if (!lock.held()) return kRegCannotWrite;
  std::optional<HiveData> data = load_locked(hive);
  if (!data) return kRegCannotWrite;
  bool changed = false;
  const long result = change(*data, &changed);
  if (result != kRegOk || !changed) return result;
  return store(hive, *data) ? kRegOk : kRegCannotWrite;
}

void begin_batch() {
  if (t_batch == nullptr) {
    t_batch = new OpenBatch;
    t_failure[0] = '\0';
  }
  ++t_batch->depth;
}

long end_batch() {
  if (--t_batch->depth > 0) return kRegOk;
  long result = kRegOk;
  for (RegHive hive : {RegHive::kCurrentUser, RegHive::kClassesRoot}) {
    OpenBatch::Hive& batch = batch_of(hive);
    if (batch.data && batch.changed && !store(hive, *batch.data)) result = kRegCannotWrite;
    batch.data.reset();
    batch.lock.reset();  // releases the hive to other writers
    batch.changed = false;
  }
  delete t_batch;
  t_batch = nullptr;
  return result;
}

std::string last_failure() { return t_failure; }

}  // namespace platform::posix
