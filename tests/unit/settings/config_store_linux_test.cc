// Config on a damaged or contended hive file: the store of the Linux backend.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/reg_file.h"
#include "platform/registry.h"
#include "settings/config.h"
#include "tests/unit/support/temp_config_home.h"

namespace {

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_text(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

TEST(ConfigStore, TruncatedAtEveryByteLoadsDefaultsOrWhatWasStored) {
  TempConfigHome home;
  {
    Config config;
    config.keyList.Append("Main key", "/home/u/keys/secret.key");
    config.keyList.Append("Reserve", "/media/usb/secret.key");
    config.KeyIndex = 1;
    config.ReaskIndex = 4;
    config.KeyType = 1;
    config.eTokenKeySerial = 1234;
    config.VK = 0;
    config.tokenName = "Token 1";
    ASSERT_TRUE(config.keyList.Save());
    ASSERT_TRUE(config.Save());
  }
  const std::string full = read_text(home.hive_file());
  ASSERT_GT(full.size(), 300u);
  const std::string aside_dir = home.dir() + "/velixcom";
  for (size_t cut = 0; cut <= full.size(); ++cut) {
    write_text(home.hive_file(), full.substr(0, cut));
    Config config;
    // Every field holds its default or the value that was saved, never anything else.
    EXPECT_TRUE(config.KeyIndex == 0 || config.KeyIndex == 1) << cut;
    EXPECT_TRUE(config.ReaskIndex == 9 || config.ReaskIndex == 4) << cut;
    EXPECT_TRUE(config.KeyType == 0 || config.KeyType == 1) << cut;
    EXPECT_TRUE(config.eTokenKeySerial == 0 || config.eTokenKeySerial == 1234) << cut;
    EXPECT_TRUE(config.VK == 1 || config.VK == 0) << cut;
    EXPECT_TRUE(config.tokenName.empty() || config.tokenName == "Token 1") << cut;
    // The key list is a prefix of the saved one, each entry whole.
    ASSERT_LE(config.keyList.size(), 2u) << cut;
    if (config.keyList.size() >= 1) {
      EXPECT_EQ(config.keyList.At(0)->name, "Main key") << cut;
      EXPECT_EQ(config.keyList.At(0)->path, "/home/u/keys/secret.key") << cut;
    }
    if (config.keyList.size() == 2) {
      EXPECT_EQ(config.keyList.At(1)->path, "/media/usb/secret.key") << cut;
    }
    // Loading only reads: the file stays as it is, damaged or not, until a change.
    EXPECT_EQ(read_text(home.hive_file()), full.substr(0, cut)) << cut;
  }
  // The whole file gives everything back.
  write_text(home.hive_file(), full);
  Config config;
  EXPECT_EQ(config.eTokenKeySerial, 1234u);
  EXPECT_EQ(config.keyList.size(), 2u);
  EXPECT_EQ(config.tokenName, "Token 1");
}

// Saves its own settings in a loop until the deadline, each save a change;
// exits 0 when every save succeeded.
[[noreturn]] void save_in_a_loop(uint32_t index, const char* token, std::chrono::steady_clock::time_point end) {
  Config config;
  config.tokenName = token;
  bool all_saved = true;
  for (uint32_t n = 0; std::chrono::steady_clock::now() < end; ++n) {
    config.KeyIndex = index;
    config.ReaskIndex = n;
    config.MarkChanged(Config::kTokenName);
    config.MarkChanged(Config::kKeyIndex);
    all_saved &= config.Save();
  }
  _exit(all_saved ? 0 : 1);
}

// Adds its keys one at a time, each with its own load and save, as the key
// management dialog of a separate process would; exits 0 when all were saved.
[[noreturn]] void add_keys(int writer, int count) {
  bool all_saved = true;
  for (int n = 0; n < count; ++n) {
    KeyList list;
    list.Load();
    const std::string name = "writer " + std::to_string(writer) + " key " + std::to_string(n);
    list.Append(name, "/keys/" + name);
    all_saved &= list.Save();
  }
  _exit(all_saved ? 0 : 1);
}

bool exited_cleanly(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(ConfigStore, ProcessesSavingAtOnceLeaveACompleteFile) {
  TempConfigHome home;
  ASSERT_TRUE(KeyList().Save());
  {
    Config first;
    first.tokenName = "first";
    ASSERT_TRUE(first.Save());
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  const pid_t a = fork();
  if (a == 0) save_in_a_loop(1, "writer A", end);
  const pid_t b = fork();
  if (b == 0) save_in_a_loop(2, "writer B", end);

  // Every read sees one whole save: each writer's KeyIndex and tokenName together.
  int reads = 0;
  while (std::chrono::steady_clock::now() < end) {
    const std::string text = read_text(home.hive_file());
    const auto parsed = platform::parse_reg_file(text, "HKEY_CURRENT_USER");
    ASSERT_FALSE(parsed.damaged) << text;
    const auto* values = parsed.hive.find(kConfigKeyPath);
    ASSERT_NE(values, nullptr);
    const auto* index = values->find("KeyIndex");
    const std::string token = values->find("tokenName")->data;
    if (index == nullptr) {
      EXPECT_EQ(token, std::string("first\0", 6));  // before the writers
      continue;
    }
    EXPECT_EQ(token, index->data[0] == 1 ? std::string("writer A\0", 9) : std::string("writer B\0", 9));
    ++reads;
  }
  EXPECT_TRUE(exited_cleanly(a));
  EXPECT_TRUE(exited_cleanly(b));
  EXPECT_GT(reads, 10);

  Config config;
  EXPECT_EQ(config.tokenName, config.KeyIndex == 1 ? "writer A" : "writer B");
  bool any_aside = false;
  for (const auto& entry : std::filesystem::directory_iterator(home.dir() + "/velixcom"))
    any_aside |= entry.path().filename().string().find(".damaged-") != std::string::npos;
  EXPECT_FALSE(any_aside);
}

// Keys added by several processes while others save their settings: none is
// lost, and a key the list cannot load stays stored through every save.
TEST(ConfigStore, KeysAddedByOtherProcessesSurviveEverySave) {
  TempConfigHome home;
  const std::string long_name(300, 'n');
  {
    platform::RegKey key;
    ASSERT_EQ(key.Create(platform::RegHive::kCurrentUser, kKeyListKeyPath), platform::kRegOk);
    ASSERT_EQ(key.SetValue(long_name, platform::kRegSz, "/long", 5), platform::kRegOk);
  }
  constexpr int kWriters = 5;
  constexpr int kKeysEach = 5;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  std::vector<pid_t> children;
  children.push_back(fork());
  if (children.back() == 0) save_in_a_loop(1, "settings A", end);
  children.push_back(fork());
  if (children.back() == 0) save_in_a_loop(2, "settings B", end);
  for (int writer = 0; writer < kWriters; ++writer) {
    children.push_back(fork());
    if (children.back() == 0) add_keys(writer, kKeysEach);
  }
  for (pid_t child : children) EXPECT_TRUE(exited_cleanly(child));

  KeyList list;
  list.Load();
  EXPECT_EQ(list.size(), static_cast<size_t>(kWriters * kKeysEach));
  for (int writer = 0; writer < kWriters; ++writer) {
    for (int n = 0; n < kKeysEach; ++n) {
      const std::string name = "writer " + std::to_string(writer) + " key " + std::to_string(n);
      bool found = false;
      for (const KeyListEntry* e = list.head(); e != nullptr; e = e->next) found |= e->name == name;
      EXPECT_TRUE(found) << name;
    }
  }
  platform::RegKey key;
  ASSERT_EQ(key.Open(platform::RegHive::kCurrentUser, kKeyListKeyPath), platform::kRegOk);
  uint32_t size = 0;
  EXPECT_EQ(key.QueryValue(long_name, nullptr, nullptr, &size), platform::kRegOk);
  EXPECT_EQ(size, 5u);
}

}  // namespace
