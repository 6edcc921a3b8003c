// The hive files under damage: a damaged file is set aside and what could be
// read from it is kept.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <sstream>

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

TEST(HiveStore, DamagedFileIsSetAsideAndItsReadablePartKept) {
  VELIX_LINUX_FACT("the registry is kept in hive files");
  TempConfigHome home;
  fs::create_directories(home.dir() + "/velixcom");
  const std::string damaged =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n"
      "\"kept\"=dword:00000005\r\n\"broken\"=dword:zz\r\n\"cut\"=hex(1):41";
  std::ofstream(home.hive_file(), std::ios::binary) << damaged;

  RegKey key;
  ASSERT_EQ(key.Open(RegHive::kCurrentUser, "A"), kRegOk);
  uint32_t value = 0, size = 4;
  ASSERT_EQ(key.QueryValue("kept", nullptr, &value, &size), kRegOk);
  EXPECT_EQ(value, 5u);
  EXPECT_EQ(key.QueryValue("cut", nullptr, nullptr, &size), kRegNotFound);

  const auto aside = set_aside_files(home.dir());
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(read_text(aside[0].string()), damaged);  // the bytes are kept for inspection
  const ParsedHive now = parse_reg_file(read_text(home.hive_file()), "HKEY_CURRENT_USER");
  EXPECT_FALSE(now.damaged);  // replaced by what could be read
  EXPECT_NE(now.hive.find("A")->find("kept"), nullptr);

  // Later changes go on from the recovered hive.
  ASSERT_EQ(key.SetValue("new", kRegDword, &value, 4), kRegOk);
  EXPECT_EQ(key.QueryValue("kept", nullptr, &value, &size), kRegOk);
  EXPECT_EQ(set_aside_files(home.dir()).size(), 1u);
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

}  // namespace
#endif  // _WIN32
