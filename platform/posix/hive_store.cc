#include "platform/posix/hive_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string_view>

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

// One hive as this process last read or stored it. The file it was read
// from stays open, so no other file can take its inode number while it is
// kept: a file at the hive's path with the same identity is this one,
// unchanged (a store replaces the file, it never rewrites it), and is not
// parsed again.
struct CachedHive {
  std::mutex mutex;
  int fd = -1;
  struct stat identity {};
  std::shared_ptr<const HiveData> data;
  bool damaged = false;

  ~CachedHive() { forget(); }
  void forget() {
    if (fd >= 0) close(fd);
    fd = -1;
    data.reset();
    damaged = false;
  }
  void keep(int file, const struct stat& info, std::shared_ptr<const HiveData> parsed, bool was_damaged) {
    forget();
    fd = file;
    identity = info;
    data = std::move(parsed);
    damaged = was_damaged;
  }
};

CachedHive g_cache[2];

CachedHive& cache_of(RegHive hive) { return g_cache[hive == RegHive::kClassesRoot ? 1 : 0]; }

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
         a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

const std::shared_ptr<const HiveData>& empty_hive() {
  static const std::shared_ptr<const HiveData> empty = std::make_shared<const HiveData>();
  return empty;
}

std::atomic<RegNoticeHandler> g_notice_handler{nullptr};

void notify(const std::string& notice) {
  if (const RegNoticeHandler handler = g_notice_handler.load()) handler(notice);
}

// The stored hive: parsed, or no file at all (the only case that counts as an
// empty hive), or a failure that must leave the file alone.
struct HiveRead {
  enum Status { kRead, kMissing, kFailed } status = kFailed;
  std::shared_ptr<const HiveData> data = empty_hive();
  bool damaged = false;  // lines were left out
  std::string failure;
};

bool read_all(int fd, std::string* text) {
  char buffer[8192];
  while (true) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return true;
    text->append(buffer, static_cast<size_t>(got));
  }
}

// Opens without blocking and refuses anything but a regular file at once, so a
// FIFO or a device planted as the hive can neither hang the process nor be
// replaced by an empty hive. Parses only when the file changed since this
// process last read or stored it.
HiveRead read_hive(RegHive hive) {
  const std::string path = hive_file_path(hive);
  CachedHive& cache = cache_of(hive);
  HiveRead result;
  {
    std::lock_guard<std::mutex> guard(cache.mutex);
    struct stat now {};
    if (cache.fd >= 0 && stat(path.c_str(), &now) == 0 && same_file(now, cache.identity)) {
      result.status = HiveRead::kRead;
      result.data = cache.data;
      result.damaged = cache.damaged;
      return result;
    }
    cache.forget();
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
      if (errno == ENOENT) result.status = HiveRead::kMissing;
      else result.failure = describe("cannot read", path, errno);
      return result;
    }
    // The identity before the read: a change made during it shows as a change later.
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
      result.failure = "cannot read " + path + ": not a regular file";
      close(fd);
      return result;
    }
    std::string text;
    if (!read_all(fd, &text)) {
      result.failure = describe("cannot read", path, errno);
      close(fd);
      return result;
    }
    ParsedHive parsed = parse_reg_file(text, root_name(hive));
    cache.keep(fd, info, std::make_shared<const HiveData>(std::move(parsed.hive)), parsed.damaged);
    result.status = HiveRead::kRead;
    result.data = cache.data;
    result.damaged = parsed.damaged;
  }
  if (result.damaged)
    notify(path + " is damaged: the lines that cannot be read are left out; the next change keeps a copy of it "
                  "and stores the rest");
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

// The batch open on this thread, per hive: its lock and its changed content.
struct OpenBatch {
  struct Hive {
    std::unique_ptr<HiveLock> lock;
    std::shared_ptr<HiveData> data;  // read by this thread's reads while the batch is open
    bool changed = false;
    bool damaged = false;  // the stored file must be set aside when the batch stores
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

// Temporary files are made only under the hive lock, so any found under it
// were left by a save that was killed.
void remove_stale_temporaries(RegHive hive) {
  const std::string prefix = std::string(root_name(hive)) + ".reg.";
  DIR* directory = opendir(hive_directory().c_str());
  if (directory == nullptr) return;
  while (const dirent* entry = readdir(directory)) {
    const std::string_view name = entry->d_name;
    if (name.size() != prefix.size() + 6 || !name.starts_with(prefix)) continue;
    const std::string_view suffix = name.substr(prefix.size());
    if (std::all_of(suffix.begin(), suffix.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
      unlinkat(dirfd(directory), entry->d_name, 0);
  }
  closedir(directory);
}

// A second name for the damaged hive file, which keeps its bytes for
// inspection once the repaired copy takes its place. Empty (and *error set)
// when no name could be made.
std::string keep_damaged_copy(const std::string& path, int* error) {
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
  const std::string base = path + ".damaged-" + stamp + "-" + std::to_string(getpid());
  std::string target = base;
  for (int n = 1; link(path.c_str(), target.c_str()) != 0; ++n) {
    if (errno != EEXIST || n > 100) {
      *error = errno;
      return {};
    }
    target = base + "-" + std::to_string(n);
  }
  return target;
}

// Temporary file, fsync, rename: the hive file is always the old or the new
// content, never a mixture. The temporary file gets a name of its own, created
// exclusively with mode 0600 (mkostemp), so nothing planted under a guessable
// name is followed or overwritten. A damaged file gets its second name only
// once the new content is safely on disk: a store that fails leaves the hive
// as it was. Only called under the hive lock.
bool store(RegHive hive, std::shared_ptr<const HiveData> data, bool set_damaged_aside) {
  const std::string path = hive_file_path(hive);
  remove_stale_temporaries(hive);
  std::string temporary = path + ".XXXXXX";
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    set_failure(describe("cannot create a file beside", path, errno));
    return false;
  }
  int error = 0;
  if (!write_all(fd, format_reg_file(*data, root_name(hive))) || fsync(fd) != 0) error = errno;
  std::string aside;
  if (error != 0) {
    set_failure(describe("cannot write", temporary, error));
  } else if (set_damaged_aside && (aside = keep_damaged_copy(path, &error)).empty()) {
    set_failure(describe("cannot keep a copy of the damaged", path, error));
  } else if (rename(temporary.c_str(), path.c_str()) != 0) {
    error = errno;
    set_failure(describe("cannot replace", path, error));
    if (!aside.empty()) unlink(aside.c_str());
  }
  if (error != 0) {
    close(fd);
    unlink(temporary.c_str());
    return false;
  }
  sync_directory(hive_directory());
  struct stat info {};
  CachedHive& cache = cache_of(hive);
  {
    std::lock_guard<std::mutex> guard(cache.mutex);
    if (fstat(fd, &info) == 0) {
      cache.keep(fd, info, std::move(data), false);
    } else {
      close(fd);
      cache.forget();
    }
  }
  if (!aside.empty())
    notify(path + " was damaged: it is kept as " + aside + ", and what could be read from it is stored in its place");
  return true;
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

std::shared_ptr<const HiveData> load_hive(RegHive hive) {
  if (in_batch() && batch_of(hive).data) return batch_of(hive).data;
  // Files are replaced by rename, so a reader sees a whole file without a lock;
  // a damaged one is only repaired by a change.
  HiveRead stored = read_hive(hive);
  if (stored.status == HiveRead::kFailed) set_failure(stored.failure);
  return stored.data;
}

long update_hive(RegHive hive, const std::function<long(HiveData&, bool* changed)>& change) {
  if (!in_batch()) t_failure[0] = '\0';
  if (!make_hive_directory()) return kRegCannotWrite;
  if (in_batch()) {
    OpenBatch::Hive& batch = batch_of(hive);
    if (!batch.data) {
      auto lock = std::make_unique<HiveLock>(hive);
      if (!lock->held()) return kRegCannotWrite;
      HiveRead stored = read_hive(hive);
      if (stored.status == HiveRead::kFailed) {
        set_failure(stored.failure);
        return kRegCannotWrite;
      }
      batch.lock = std::move(lock);
      batch.data = std::make_shared<HiveData>(*stored.data);
      batch.damaged = stored.damaged;
    }
    bool changed = false;
    const long result = change(*batch.data, &changed);
    if (result == kRegOk && changed) batch.changed = true;
    return result;
  }
  HiveLock lock(hive);
  if (!lock.held()) return kRegCannotWrite;
  HiveRead stored = read_hive(hive);
  if (stored.status == HiveRead::kFailed) {
    set_failure(stored.failure);
    return kRegCannotWrite;
  }
  auto data = std::make_shared<HiveData>(*stored.data);
  bool changed = false;
  const long result = change(*data, &changed);
  // A change repairs a damaged hive even when it changes nothing itself.
  if (result != kRegOk || (!changed && !stored.damaged)) return result;
  return store(hive, std::move(data), stored.damaged) ? kRegOk : kRegCannotWrite;
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
    if (batch.data && (batch.changed || batch.damaged) && !store(hive, batch.data, batch.damaged))
      result = kRegCannotWrite;
    batch.data.reset();
    batch.lock.reset();  // releases the hive to other writers
    batch.changed = false;
    batch.damaged = false;
  }
  delete t_batch;
  t_batch = nullptr;
  return result;
}

bool batch_holds(RegHive hive) { return in_batch() && batch_of(hive).data != nullptr; }

std::string last_failure() { return t_failure; }

void set_notice_handler(RegNoticeHandler handler) { g_notice_handler.store(handler); }

}  // namespace platform::posix
