// The hive files under damage: a damaged file is set aside and what could be
// read from it is kept.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/reg_file.h"
#include "platform/registry.h"
#include "tests/unit/support/temp_config_home.h"

namespace {

using namespace platform;
namespace fs = std::filesystem;

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<fs::path> set_aside_files(const std::string& dir) {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(dir + "/velixcom"))
    if (entry.path().filename().string().find(".damaged-") != std::string::npos) found.push_back(entry.path());
  return found;
}

// The notices the store gives for people, as a program would show them.
std::vector<std::string> g_notices;
void keep_notice(const std::string& notice) { g_notices.push_back(notice); }

struct NoticesKept {
  NoticesKept() {
    g_notices.clear();
    RegSetNoticeHandler(&keep_notice);
  }
  ~NoticesKept() { RegSetNoticeHandler(nullptr); }
};

const char kDamagedHive[] =
    "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n"
    "\"kept\"=dword:00000005\r\n\"broken\"=dword:zz\r\n\"cut\"=hex(1):4";

// Reading never rewrites a damaged hive; the first change stores what could
// be read and keeps the damaged bytes under a second name, and both are told.
TEST(HiveStore, DamagedFileIsKeptAsideByTheNextChangeAndEveryStepIsTold) {
  VELIX_LINUX_FACT("the registry is kept in hive files");
  TempConfigHome home;
  const NoticesKept notices;
  fs::create_directories(home.dir() + "/velixcom");
  const std::string damaged = kDamagedHive;
  std::ofstream(home.hive_file(), std::ios::binary) << damaged;

  RegKey key;
  ASSERT_EQ(key.Open(RegHive::kCurrentUser, "A"), kRegOk);
  uint32_t value = 0, size = 4;
  ASSERT_EQ(key.QueryValue("kept", nullptr, &value, &size), kRegOk);
  EXPECT_EQ(value, 5u);
  EXPECT_EQ(key.QueryValue("cut", nullptr, nullptr, &size), kRegNotFound);
  EXPECT_EQ(read_text(home.hive_file()), damaged);  // a read changes nothing
  EXPECT_TRUE(set_aside_files(home.dir()).empty());
  ASSERT_EQ(g_notices.size(), 1u);  // told once, however often it is read
  EXPECT_NE(g_notices[0].find(home.hive_file() + " is damaged"), std::string::npos) << g_notices[0];

  ASSERT_EQ(key.SetValue("new", kRegDword, &value, 4), kRegOk);
  const auto aside = set_aside_files(home.dir());
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(read_text(aside[0].string()), damaged);  // the bytes are kept for inspection
  const ParsedHive now = parse_reg_file(read_text(home.hive_file()), "HKEY_CURRENT_USER");
  EXPECT_FALSE(now.damaged);  // replaced by what could be read, and the change
  EXPECT_NE(now.hive.find("A")->find("kept"), nullptr);
  EXPECT_NE(now.hive.find("A")->find("new"), nullptr);
  ASSERT_EQ(g_notices.size(), 2u);
  EXPECT_NE(g_notices[1].find("kept as " + aside[0].string()), std::string::npos) << g_notices[1];

  ASSERT_EQ(key.SetValue("more", kRegDword, &value, 4), kRegOk);
  EXPECT_EQ(set_aside_files(home.dir()).size(), 1u);
  EXPECT_EQ(g_notices.size(), 2u);
}

TEST(HiveStore, UnusableDirectoryFailsWritesQuietly) {
  VELIX_LINUX_FACT("the registry is kept in hive files");
  TempConfigHome home;
  std::ofstream(home.dir() + "/velixcom") << "a file where the directory should be";
  RegKey key;
  EXPECT_EQ(key.Create(RegHive::kCurrentUser, "A"), kRegCannotWrite);
  EXPECT_EQ(key.Open(RegHive::kCurrentUser, "A"), kRegNotFound);
}

}  // namespace

namespace {

TEST(HiveStore, ABatchStoresItsChangesOnceAtItsEnd) {
  VELIX_LINUX_FACT("the registry is kept in hive files");
  TempConfigHome home;
  RegKey key;
  ASSERT_EQ(key.Create(RegHive::kCurrentUser, "A"), kRegOk);
  const std::string before = read_text(home.hive_file());
  {
    RegBatch batch;
    ASSERT_EQ(key.SetValue("one", kRegDword, "\x01\0\0\0", 4), kRegOk);
    {
      RegBatch nested;
      RegKey sub;
      ASSERT_EQ(sub.Create(RegHive::kCurrentUser, "A\\B"), kRegOk);
    }
    uint32_t size = 0;
    EXPECT_EQ(key.QueryValue("one", nullptr, nullptr, &size), kRegOk);  // this thread sees it
    EXPECT_EQ(read_text(home.hive_file()), before);                    // the file does not yet
  }
  const ParsedHive stored = parse_reg_file(read_text(home.hive_file()), "HKEY_CURRENT_USER");
  EXPECT_NE(stored.hive.find("A")->find("one"), nullptr);
  EXPECT_NE(stored.hive.find("A\\B"), nullptr);
}

}  // namespace

// Hive files planted, limited and linked with POSIX calls: the Linux backend
// only, whose registry these files are.
#ifndef _WIN32
namespace {

// A hive file that exists but cannot be read is left alone, and every change
// fails at once with the reason, never hanging on a FIFO.
TEST(HiveStore, UnreadableHiveIsNeverReplaced) {
  struct Case {
    const char* what;
    void (*plant)(const std::string& path);
  };
  const Case cases[] = {
      {"a directory", [](const std::string& path) { fs::create_directory(path); }},
      {"a FIFO", [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }},
      {"a link to a FIFO",
       [](const std::string& path) {
         ASSERT_EQ(mkfifo((path + ".fifo").c_str(), 0600), 0);
         fs::create_symlink(path + ".fifo", path);
       }},
  };
  for (const Case& c : cases) {
    TempConfigHome home;
    fs::create_directories(home.dir() + "/velixcom");
    c.plant(home.hive_file());
    alarm(20);  // a read that blocks fails the test instead of hanging it
    RegKey key;
    EXPECT_EQ(key.Create(RegHive::kCurrentUser, "A"), kRegCannotWrite) << c.what;
    EXPECT_NE(RegLastFailure().find("not a regular file"), std::string::npos) << c.what << ": " << RegLastFailure();
    {
      RegBatch batch;
      EXPECT_EQ(key.Create(RegHive::kCurrentUser, "A"), kRegCannotWrite) << c.what;
      EXPECT_EQ(batch.Commit(), kRegOk) << c.what;  // nothing was changed, nothing stored
    }
    EXPECT_EQ(key.Open(RegHive::kCurrentUser, "A"), kRegNotFound) << c.what;
    alarm(0);
    struct stat info {};
    ASSERT_EQ(lstat(home.hive_file().c_str(), &info), 0) << c.what;
    EXPECT_FALSE(S_ISREG(info.st_mode)) << c.what << ": replaced by a file";
  }
}

// The file a failed store leaves: the hive as it was, and no temporary file.
TEST(HiveStore, StoreThatCannotBeWrittenReportsWhyAndKeepsTheHive) {
  TempConfigHome home;
  RegKey key;
  ASSERT_EQ(key.Create(RegHive::kCurrentUser, "A"), kRegOk);
  const std::string bulk(64 * 1024, 'b');
  ASSERT_EQ(key.SetValue("bulk", kRegBinary, bulk.data(), static_cast<uint32_t>(bulk.size())), kRegOk);
  const std::string before = read_text(home.hive_file());
  // A file size limit stops the write part way, as a full disk does.
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{16 * 1024, 16 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    RegKey in_child;
    const bool refused = in_child.Open(RegHive::kCurrentUser, "A") == kRegOk &&
                         in_child.SetValue("one", kRegDword, "\x01\0\0\0", 4) == kRegCannotWrite &&
                         RegLastFailure().find("File too large") != std::string::npos;
    _exit(refused ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(read_text(home.hive_file()), before);
  for (const auto& entry : fs::directory_iterator(home.dir() + "/velixcom")) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "HKEY_CURRENT_USER.reg" || name == "HKEY_CURRENT_USER.reg.lock") << name;
  }
}

// The temporary file is created exclusively under a name of its own: a link
// planted where a fixed name would be is not followed.
TEST(HiveStore, PlantedLinksAreNotFollowed) {
  TempConfigHome home;
  fs::create_directories(home.dir() + "/velixcom");
  const std::string victim = home.dir() + "/victim";
  std::ofstream(victim) << "precious";
  for (const char* suffix : {".tmp", ".new", "~"}) fs::create_symlink(victim, home.hive_file() + suffix);
  RegKey key;
  ASSERT_EQ(key.Create(RegHive::kCurrentUser, "A"), kRegOk);
  ASSERT_EQ(key.SetValue("one", kRegDword, "\x01\0\0\0", 4), kRegOk);
  EXPECT_EQ(read_text(victim), "precious");
  struct stat info {};
  ASSERT_EQ(lstat(home.hive_file().c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  int files = 0;
  for (const auto& entry : fs::directory_iterator(home.dir() + "/velixcom")) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 5);  // the hive, its lock and the three planted links: no temporary file left
}

// The notices that tell of a copy kept under a second name.
std::vector<std::string> notices_of_set_aside() {
  std::vector<std::string> found;
  for (const std::string& notice : g_notices)
    if (notice.find(" kept as ") != std::string::npos) found.push_back(notice);
  return found;
}

// A small file system of its own on the test's config folder (root may
// mount one): full when the test fills it.
class SmallDisk {
 public:
  explicit SmallDisk(const std::string& dir) : dir_(dir) {
    mounted_ = mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=128k,mode=0700") == 0;
    if (!mounted_) why_ = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
  }
  ~SmallDisk() {
    if (mounted_) umount2(dir_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  bool mounted() const { return mounted_; }
  const std::string& why() const { return why_; }

  // Writes a filler file until the disk is full.
  void fill() {
    const int fd = open((dir_ + "/filler").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    const std::string block(4096, 'f');
    while (fd >= 0 && write(fd, block.data(), block.size()) > 0) {
    }
    if (fd >= 0) close(fd);
  }
  void make_room() { fs::remove(dir_ + "/filler"); }

 private:
  std::string dir_;
  bool mounted_ = false;
  std::string why_;
};

std::vector<std::string> file_names(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// On a full disk the repaired copy cannot be written: the damaged hive stays
// where it is, whole, its keys readable, and the change says why it failed.
TEST(HiveStore, DamagedHiveOnAFullDiskStaysWhereItIs) {
  TempConfigHome home;
  SmallDisk disk(home.dir());
  if (!disk.mounted()) GTEST_SKIP() << disk.why();
  const NoticesKept notices;
  fs::create_directories(home.dir() + "/velixcom");
  const std::string damaged = std::string(kDamagedHive) + std::string(8192, ';');
  std::ofstream(home.hive_file(), std::ios::binary) << damaged;
  disk.fill();

  RegKey key;
  ASSERT_EQ(key.Open(RegHive::kCurrentUser, "A"), kRegOk);
  uint32_t value = 7;
  EXPECT_EQ(key.SetValue("new", kRegDword, &value, 4), kRegCannotWrite);
  EXPECT_NE(RegLastFailure().find("No space left on device"), std::string::npos) << RegLastFailure();
  EXPECT_EQ(read_text(home.hive_file()), damaged);
  EXPECT_EQ(file_names(home.dir() + "/velixcom"),
            (std::vector<std::string>{"HKEY_CURRENT_USER.reg", "HKEY_CURRENT_USER.reg.lock"}));
  uint32_t size = 4;
  EXPECT_EQ(key.QueryValue("kept", nullptr, &value, &size), kRegOk);
  EXPECT_EQ(value, 5u);
  for (const std::string& notice : notices_of_set_aside()) ADD_FAILURE() << "told of a copy never made: " << notice;

  disk.make_room();
  value = 7;
  ASSERT_EQ(key.SetValue("new", kRegDword, &value, 4), kRegOk);
  ASSERT_EQ(set_aside_files(home.dir()).size(), 1u);
  EXPECT_EQ(read_text(set_aside_files(home.dir())[0].string()), damaged);
  EXPECT_EQ(notices_of_set_aside().size(), 1u);
}

// Temporary files are only made under the hive lock: any found under it were
// left by a save that was killed, and the next save removes them (and
// nothing else).
TEST(HiveStore, TemporaryFilesOfKilledSavesAreRemovedByTheNextSave) {
  TempConfigHome home;
  RegKey key;
  ASSERT_EQ(key.Create(RegHive::kCurrentUser, "A"), kRegOk);
  // A save killed between writing its temporary file and the rename.
  for (int kill = 0; kill < 3; ++kill) {
    const pid_t child = fork();
    if (child == 0) {
      std::string name = home.hive_file() + ".XXXXXX";
      const int fd = mkostemp(name.data(), O_CLOEXEC);
      (void)!write(fd, "Windows Registry", 16);
      raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
  }
  const std::string others[] = {home.hive_file() + ".keep", home.hive_file() + ".damaged-x",
                                home.dir() + "/velixcom/HKEY_CLASSES_ROOT.regXabc12"};
  for (const std::string& other : others) std::ofstream(other) << "not ours";
  EXPECT_EQ(file_names(home.dir() + "/velixcom").size(), 8u);

  uint32_t value = 1;
  ASSERT_EQ(key.SetValue("one", kRegDword, &value, 4), kRegOk);
  EXPECT_EQ(file_names(home.dir() + "/velixcom"),
            (std::vector<std::string>{"HKEY_CLASSES_ROOT.regXabc12", "HKEY_CURRENT_USER.reg",
                                      "HKEY_CURRENT_USER.reg.damaged-x", "HKEY_CURRENT_USER.reg.keep",
                                      "HKEY_CURRENT_USER.reg.lock"}));
}

// Opens of the hive file while the watch is set (inotify counts them).
class OpenCounter {
 public:
  explicit OpenCounter(const std::string& path) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ >= 0) watch_ = inotify_add_watch(fd_, path.c_str(), IN_OPEN);
  }
  ~OpenCounter() {
    if (fd_ >= 0) close(fd_);
  }
  OpenCounter(const OpenCounter&) = delete;
  OpenCounter& operator=(const OpenCounter&) = delete;
  bool ok() const { return watch_ >= 0; }
  int opens() {
    alignas(inotify_event) char buffer[4096];
    ssize_t got;
    while ((got = read(fd_, buffer, sizeof buffer)) > 0) {
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if ((event->mask & IN_OPEN) != 0) ++opens_;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    return opens_;
  }

 private:
  int fd_ = -1;
  int watch_ = -1;
  int opens_ = 0;
};

// Reads parse the hive once and again only when the file was replaced.
TEST(HiveStore, ReadsParseTheFileOnceUntilItChanges) {
  TempConfigHome home;
  RegKey key;
  ASSERT_EQ(key.Create(RegHive::kCurrentUser, "A"), kRegOk);
  uint32_t value = 1;
  ASSERT_EQ(key.SetValue("one", kRegDword, &value, 4), kRegOk);
  OpenCounter counter(home.hive_file());
  ASSERT_TRUE(counter.ok());
  RegKey reader;
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(reader.Open(RegHive::kCurrentUser, "A"), kRegOk);
    uint32_t size = 4;
    ASSERT_EQ(reader.QueryValue("one", nullptr, &value, &size), kRegOk);
    ASSERT_EQ(value, 1u);
  }
  EXPECT_EQ(counter.opens(), 0);  // the file this process stored is the one it knows

  // Another process replaces the file: the next read sees the new value.
  const pid_t child = fork();
  if (child == 0) {
    RegKey other;
    const uint32_t two = 2;
    _exit(other.Open(RegHive::kCurrentUser, "A") == kRegOk && other.SetValue("one", kRegDword, &two, 4) == kRegOk
              ? 0
              : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  OpenCounter after(home.hive_file());
  ASSERT_TRUE(after.ok());
  for (int i = 0; i < 50; ++i) {
    uint32_t size = 4;
    ASSERT_EQ(reader.QueryValue("one", nullptr, &value, &size), kRegOk);
    ASSERT_EQ(value, 2u);
  }
  EXPECT_EQ(after.opens(), 1);

  // A change in place (an editor's append) is seen as well.
  std::ofstream(home.hive_file(), std::ios::app | std::ios::binary) << "\"added\"=dword:00000003\r\n";
  uint32_t size = 4;
  EXPECT_EQ(reader.QueryValue("added", nullptr, &value, &size), kRegOk);
}

// One enumeration reads one state of the key: a value another process
// removes meanwhile neither shifts the ones after it out of sight nor is
// seen half.
TEST(HiveStore, OneEnumerationReadsOneStateOfTheKey) {
  TempConfigHome home;
  RegKey key;
  ASSERT_EQ(key.Create(RegHive::kCurrentUser, "A"), kRegOk);
  for (const char* name : {"a", "b", "c"}) ASSERT_EQ(key.SetValue(name, kRegSz, "x", 2), kRegOk);
  const auto name_at = [&](uint32_t index) {
    char name[16] = {};
    uint32_t size = sizeof name;
    return key.EnumValue(index, name, &size, nullptr, nullptr, nullptr) == kRegOk ? std::string(name) : "<none>";
  };
  EXPECT_EQ(name_at(0), "a");
  const pid_t child = fork();
  if (child == 0) {
    RegKey other;
    _exit(other.Open(RegHive::kCurrentUser, "A") == kRegOk && other.DeleteValue("a") == kRegOk ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(name_at(1), "b");
  EXPECT_EQ(name_at(2), "c");
  EXPECT_EQ(name_at(3), "<none>");
  EXPECT_EQ(name_at(0), "b");  // a new enumeration reads the key as it is now
}

}  // namespace
#endif  // _WIN32
