// The hive files under damage: a damaged file is set aside and what could be
// read from it is kept.
#include <gtest/gtest.h>

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
