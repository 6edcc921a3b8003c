#include "platform/posix/hive_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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

// The whole file; nullopt when it does not exist or cannot be read.
std::optional<std::string> read_file(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string content;
  char buffer[8192];
  while (true) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      close(fd);
      return std::nullopt;
    }
    if (got == 0) break;
    content.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return content;
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
// content, never a mixture. Only called under the hive lock.
bool write_atomically(const std::string& path, const std::string& content) {
  const std::string temporary = path + ".tmp";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool written = fchmod(fd, 0600) == 0 && write_all(fd, content) && fsync(fd) == 0;
  if (close(fd) != 0 || !written || rename(temporary.c_str(), path.c_str()) != 0) {
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
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    while (flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
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
// aside and replaced by its readable part.
HiveData load_locked(RegHive hive) {
  const std::string path = hive_file_path(hive);
  const std::optional<std::string> text = read_file(path);
  if (!text) return HiveData();
  ParsedHive parsed = parse_reg_file(*text, root_name(hive));
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
  const std::optional<std::string> text = read_file(hive_file_path(hive));
  if (!text) return HiveData();
  ParsedHive parsed = parse_reg_file(*text, root_name(hive));
  if (!parsed.damaged) return std::move(parsed.hive);
  if (!make_directories(hive_directory())) return std::move(parsed.hive);
  HiveLock lock(hive);
  if (!lock.held()) return std::move(parsed.hive);
  return load_locked(hive);
}

long update_hive(RegHive hive, const std::function<long(HiveData&, bool* changed)>& change) {
  if (!make_directories(hive_directory())) return kRegCannotWrite;
  if (in_batch()) {
    OpenBatch::Hive& batch = batch_of(hive);
    if (!batch.data) {
      auto lock = std::make_unique<HiveLock>(hive);
      if (!lock->held()) return kRegCannotWrite;
      batch.lock = std::move(lock);
      batch.data = load_locked(hive);
    }
    bool changed = false;
    const long result = change(*batch.data, &changed);
    if (result == kRegOk && changed) batch.changed = true;
    return result;
  }
  HiveLock lock(hive);
  if (!lock.held()) return kRegCannotWrite;
  HiveData data = load_locked(hive);
  bool changed = false;
  const long result = change(data, &changed);
  if (result != kRegOk || !changed) return result;
  return write_atomically(hive_file_path(hive), format_reg_file(data, root_name(hive)))
             ? kRegOk
             : kRegCannotWrite;
}

void begin_batch() {
  if (t_batch == nullptr) t_batch = new OpenBatch;
  ++t_batch->depth;
}

void end_batch() {
  if (--t_batch->depth > 0) return;
  for (RegHive hive : {RegHive::kCurrentUser, RegHive::kClassesRoot}) {
    OpenBatch::Hive& batch = batch_of(hive);
    if (batch.data && batch.changed)
      write_atomically(hive_file_path(hive), format_reg_file(*batch.data, root_name(hive)));
    batch.data.reset();
    batch.lock.reset();  // releases the hive to other writers
    batch.changed = false;
  }
  delete t_batch;
  t_batch = nullptr;
}

}  // namespace platform::posix
