// Config on a damaged or contended hive file.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/reg_file.h"
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
    config.Save();
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
    // After loading, the stored file is whole again.
    EXPECT_FALSE(platform::parse_reg_file(read_text(home.hive_file()), "HKEY_CURRENT_USER").damaged)
        << cut;
  }
  // The whole file gives everything back.
  write_text(home.hive_file(), full);
  Config config;
  EXPECT_EQ(config.eTokenKeySerial, 1234u);
  EXPECT_EQ(config.keyList.size(), 2u);
  EXPECT_EQ(config.tokenName, "Token 1");
}

// Saves its own values in a loop until the deadline; exits 0.
[[noreturn]] void save_in_a_loop(uint32_t index, const char* token, std::chrono::steady_clock::time_point end) {
  Config config;
  config.keyList.Clear();
  config.keyList.Append(token, std::string("/keys/") + token);
  config.KeyIndex = index;
  config.tokenName = token;
  while (std::chrono::steady_clock::now() < end) config.Save();
  _exit(0);
}

TEST(ConfigStore, TwoProcessesSavingAtOnceLeaveACompleteFile) {
  TempConfigHome home;
  Config().Save();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  const pid_t a = fork();
  if (a == 0) save_in_a_loop(1, "writer A", end);
  const pid_t b = fork();
  if (b == 0) save_in_a_loop(2, "writer B", end);

  // Every read sees one whole save: values and key list of the same writer.
  int reads = 0;
  while (std::chrono::steady_clock::now() < end) {
    const std::string text = read_text(home.hive_file());
    const auto parsed = platform::parse_reg_file(text, "HKEY_CURRENT_USER");
    ASSERT_FALSE(parsed.damaged) << text;
    const auto* values = parsed.hive.find(kConfigKeyPath);
    const auto* keys = parsed.hive.find(kKeyListKeyPath);
    ASSERT_NE(values, nullptr);
    ASSERT_NE(keys, nullptr);
    ASSERT_EQ(values->values.size(), 6u);  // KeyIndex ... tokenName, all there
    const std::string index = values->find("KeyIndex")->data;
    const std::string token = values->find("tokenName")->data;
    if (index[0] == 0) {
      EXPECT_EQ(keys->values.size(), 0u);  // the first save, before the writers
      continue;
    }
    EXPECT_EQ(token, index[0] == 1 ? std::string("writer A\0", 9) : std::string("writer B\0", 9));
    ASSERT_EQ(keys->values.size(), 1u);
    EXPECT_EQ(keys->values[0].name + '\0', token);
    ++reads;
  }
  int status = 0;
  ASSERT_EQ(waitpid(a, &status, 0), a);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_EQ(waitpid(b, &status, 0), b);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_GT(reads, 10);

  // The last save won, whole.
  Config config;
  EXPECT_TRUE(config.KeyIndex == 1 || config.KeyIndex == 2);
  EXPECT_EQ(config.tokenName, config.KeyIndex == 1 ? "writer A" : "writer B");
  ASSERT_EQ(config.keyList.size(), 1u);
  EXPECT_EQ(config.keyList.head()->name, config.tokenName);
  EXPECT_EQ(config.keyList.head()->path, "/keys/" + config.tokenName);
  bool any_aside = false;
  for (const auto& entry : std::filesystem::directory_iterator(home.dir() + "/velixcom"))
    any_aside |= entry.path().filename().string().find(".damaged-") != std::string::npos;
  EXPECT_FALSE(any_aside);
}

}  // namespace
