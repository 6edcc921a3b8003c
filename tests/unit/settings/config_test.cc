#include "settings/config.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/registry.h"
#include "tests/unit/support/temp_config_home.h"

namespace {

using namespace platform;

struct Stored {
  uint32_t type = 0;
  std::string data;
  bool operator==(const Stored&) const = default;
};

void put(const char* path, const std::string& name, uint32_t type, const std::string& data) {
  RegKey key;
  ASSERT_EQ(key.Create(RegHive::kCurrentUser, path), kRegOk);
  ASSERT_EQ(key.SetValue(name, type, data.data(), static_cast<uint32_t>(data.size())), kRegOk);
}

Stored get(const char* path, const char* name) {
  RegKey key;
  Stored s;
  uint32_t size = 0;
  if (key.Open(RegHive::kCurrentUser, path) != kRegOk ||
      key.QueryValue(name, &s.type, nullptr, &size) != kRegOk)
    return {0xFFFFFFFF, "missing"};
  s.data.resize(size);
  key.QueryValue(name, &s.type, s.data.data(), &size);
  return s;
}

std::vector<std::pair<std::string, std::string>> entries(const KeyList& list) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const KeyListEntry* e = list.head(); e != nullptr; e = e->next) out.emplace_back(e->name, e->path);
  return out;
}

std::string dword(uint32_t v) {
  return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 24)};
}

class ConfigTest : public ::testing::Test {
 protected:
  TempConfigHome home_;
};

TEST_F(ConfigTest, DefaultsWithoutTheKey) {
  Config config;
  EXPECT_EQ(config.KeyIndex, 0u);
  EXPECT_EQ(config.ReaskIndex, 9u);
  EXPECT_EQ(config.KeyType, 0);
  EXPECT_EQ(config.eTokenKeySerial, 0u);
  EXPECT_EQ(config.VK, 1);
  EXPECT_EQ(config.useUtf8, 0);
  EXPECT_EQ(config.tokenName, "");
  EXPECT_EQ(config.keyList.size(), 0u);
  // The prefix sits right before KeyType: the digest hashes them as eleven bytes.
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(&config.KeyType), config.digestPrefix + kDigestPrefixSize);
  // Constructing and loading writes nothing.
  RegKey key;
  EXPECT_EQ(key.Open(RegHive::kCurrentUser, "SoftWare"), kRegNotFound);
}

TEST_F(ConfigTest, SaveWritesTheExactTypesAndBytes) {
  Config config;
  config.KeyIndex = 3;
  config.ReaskIndex = 0x01020304;
  config.KeyType = 1;
  config.eTokenKeySerial = 1234;
  config.VK = -1;
  config.tokenName = "Token 1";
  ASSERT_TRUE(config.Save());
  const std::pair<const char*, Stored> expected[] = {
      {"KeyIndex", {kRegDword, dword(3)}},
      {"ReaskIndex", {kRegDword, dword(0x01020304)}},
      {"KeyType", {kRegDword, std::string("\x01", 1)}},
      {"eTokenKeySerial", {kRegDword, dword(1234)}},
      {"VK", {kRegDword, dword(0xFFFFFFFF)}},
      {"tokenName", {kRegSz, std::string("Token 1\0", 8)}},
  };
  for (const auto& [name, stored] : expected) EXPECT_EQ(get(kConfigKeyPath, name), stored) << name;
  Config loaded;
  EXPECT_EQ(loaded.KeyIndex, 3u);
  EXPECT_EQ(loaded.ReaskIndex, 0x01020304u);
  EXPECT_EQ(loaded.KeyType, 1);
  EXPECT_EQ(loaded.eTokenKeySerial, 1234u);
  EXPECT_EQ(loaded.VK, -1);
  EXPECT_EQ(loaded.tokenName, "Token 1");
}

TEST_F(ConfigTest, LoadTakesOnlyValuesOfTheRightTypeAndSize) {
  struct Case {
    const char* name;
    uint32_t type;
    std::string data;
    const char* what;
  };
  const Case cases[] = {
      {"VK", kRegSz, std::string("0\0", 2), "a REG_SZ VK is ignored"},
      {"KeyType", kRegDword, dword(1), "a four-byte KeyType gives its low byte"},
      {"KeyIndex", kRegDword, std::string("\x05", 1), "a one-byte REG_DWORD"},
      {"ReaskIndex", kRegBinary, dword(4), "REG_BINARY is not taken"},
      {"eTokenKeySerial", kRegDword, dword(7) + dword(7), "eight bytes do not fit"},
  };
  for (const auto& c : cases) put(kConfigKeyPath, c.name, c.type, c.data);
  Config config;
  EXPECT_EQ(config.VK, 1) << cases[0].what;
  EXPECT_EQ(config.KeyType, 1) << cases[1].what;
  EXPECT_EQ(config.KeyIndex, 5u) << cases[2].what;
  EXPECT_EQ(config.ReaskIndex, 9u) << cases[3].what;
  EXPECT_EQ(config.eTokenKeySerial, 0u) << cases[4].what;
}

TEST_F(ConfigTest, TokenNameNeedsItsTerminatingNul) {
  struct Case {
    uint32_t type;
    std::string data;
    const char* expected;
  };
  const Case cases[] = {
      {kRegSz, std::string("Token 1\0", 8), "Token 1"},
      {kRegExpandSz, std::string("eToken\0", 7), "eToken"},
      {kRegSz, "", ""},
      {kRegSz, std::string("ab\0cd\0", 6), "ab"},
      {kRegBinary, std::string("Token\0", 6), ""},
  };
  std::vector<Case> all(std::begin(cases), std::end(cases));
  if (test_support::kRegistryIsHiveStore) all.push_back({kRegSz, "Token 1", ""});  // no NUL: empty
  for (const auto& c : all) {
    put(kConfigKeyPath, "tokenName", c.type, c.data);
    Config config;
    config.tokenName = "previous";
    config.Load();
    EXPECT_EQ(config.tokenName, c.expected) << c.data;
  }
}

TEST_F(ConfigTest, LoadWithoutTheKeyKeepsCurrentValues) {
  Config config;
  config.KeyIndex = 4;
  config.tokenName = "kept";
  config.keyList.Append("a", "b");
  config.Load();
  EXPECT_EQ(config.KeyIndex, 4u);
  EXPECT_EQ(config.tokenName, "kept");
  EXPECT_EQ(config.keyList.size(), 0u);  // the key list is reloaded: empty
}

TEST_F(ConfigTest, KeyListLoadSkipsWhatItCannotHold) {
  VELIX_LINUX_FACT("the hive store enumerates values in the order they were created");
  put(kKeyListKeyPath, "first", kRegSz, "/home/u/keys/secret.key");
  put(kKeyListKeyPath, "expand", kRegExpandSz, "$HOME/secret.key");  // skipped
  put(kKeyListKeyPath, "second", kRegSz, std::string(255, 'p'));     // fits exactly
  put(kKeyListKeyPath, "empty path", kRegSz, "");
  put(kKeyListKeyPath, "too long", kRegSz, std::string(300, 'x'));   // skipped, the rest still loads
  put(kKeyListKeyPath, std::string(254, 'n'), kRegSz, "a");          // the longest name that fits
  put(kKeyListKeyPath, std::string(255, 'n'), kRegSz, "b");          // skipped
  put(kKeyListKeyPath, "after", kRegSz, "/loaded");
  KeyList list;
  list.Load();
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"first", "/home/u/keys/secret.key"}, {"second", std::string(255, 'p')}, {"empty path", ""},
      {std::string(254, 'n'), "a"}, {"after", "/loaded"}};
  EXPECT_EQ(entries(list), expected);
  EXPECT_EQ(list.At(0)->flag, 0);
}

// What the key list stores: only the entries changed since it was loaded, in
// place; values it did not load and values stored meanwhile stay.
TEST_F(ConfigTest, KeyListSaveChangesOnlyWhatChanged) {
  VELIX_LINUX_FACT("the hive store keeps values in creation order and REG_SZ data without an added NUL");
  const std::string long_path(300, 'x');
  put(kKeyListKeyPath, "removed", kRegSz, "/r");
  put(kKeyListKeyPath, "too long", kRegSz, long_path);
  put(kKeyListKeyPath, "renamed", kRegSz, "/n");
  put(kKeyListKeyPath, "expand", kRegExpandSz, "$HOME/k");
  put(kKeyListKeyPath, "moved", kRegSz, "/old");
  put(kKeyListKeyPath, "kept", kRegSz, "/k");
  KeyList list;
  list.Load();
  ASSERT_EQ(list.size(), 4u);
  list.Remove(list.At(0));
  list.At(0)->name = "RENAMED now";
  list.At(1)->path = "/new";
  list.Append("added", "/a");
  list.Append("", "/unnamed");
  put(kKeyListKeyPath, "other process", kRegSz, "/o");  // stored after this list was loaded

  ASSERT_TRUE(list.Save());
  RegKey key;
  ASSERT_EQ(key.Open(RegHive::kCurrentUser, kKeyListKeyPath), kRegOk);
  std::vector<std::pair<std::string, Stored>> stored;
  for (uint32_t i = 0;; ++i) {
    char name[512];
    uint32_t name_size = sizeof name;
    uint32_t type = 0;
    char data[512];
    uint32_t size = sizeof data;
    if (key.EnumValue(i, name, &name_size, &type, data, &size) != kRegOk) break;
    stored.push_back({std::string(name, name_size), Stored{type, std::string(data, size)}});
  }
  const std::vector<std::pair<std::string, Stored>> expected = {
      {"too long", {kRegSz, long_path}},   {"RENAMED now", {kRegSz, "/n"}}, {"expand", {kRegExpandSz, "$HOME/k"}},
      {"moved", {kRegSz, "/new"}},         {"kept", {kRegSz, "/k"}},        {"other process", {kRegSz, "/o"}},
      {"added", {kRegSz, "/a"}},           {"", {kRegSz, "/unnamed"}}};
  EXPECT_EQ(stored, expected);

  // Saved, nothing is left to store: a value stored by someone else stays.
  EXPECT_FALSE(list.Changed());
  put(kKeyListKeyPath, "later", kRegSz, "/l");
  ASSERT_TRUE(list.Save());
  EXPECT_EQ(get(kKeyListKeyPath, "later"), (Stored{kRegSz, "/l"}));
  // Settings saves leave the key list alone.
  Config config;
  config.keyList.Clear();
  config.KeyIndex = 7;
  ASSERT_TRUE(config.Save());
  EXPECT_EQ(get(kKeyListKeyPath, "too long"), (Stored{kRegSz, long_path}));
  EXPECT_EQ(get(kKeyListKeyPath, "kept"), (Stored{kRegSz, "/k"}));
}

// Only the values this process changed are written: another process's values stay.
TEST_F(ConfigTest, SaveWritesOnlyTheValuesThisProcessChanged) {
  Config mine;
  put(kConfigKeyPath, "VK", kRegDword, dword(0));
  put(kConfigKeyPath, "tokenName", kRegSz, std::string("Other\0", 6));
  mine.KeyIndex = 2;
  ASSERT_TRUE(mine.Save());
  EXPECT_EQ(get(kConfigKeyPath, "KeyIndex"), (Stored{kRegDword, dword(2)}));
  EXPECT_EQ(get(kConfigKeyPath, "VK"), (Stored{kRegDword, dword(0)}));
  EXPECT_EQ(get(kConfigKeyPath, "tokenName"), (Stored{kRegSz, std::string("Other\0", 6)}));
  EXPECT_EQ(get(kConfigKeyPath, "ReaskIndex").data, "missing");
  // A value set on purpose is written even when it equals the one loaded.
  mine.VK = 1;
  mine.MarkChanged(Config::kVK);
  ASSERT_TRUE(mine.Save());
  EXPECT_EQ(get(kConfigKeyPath, "VK"), (Stored{kRegDword, dword(1)}));
}

TEST(KeyListLinks, AppendRemoveAndPosition) {
  KeyList list;
  KeyListEntry* a = list.Append("a", "1");
  KeyListEntry* b = list.Append("b", "2");
  KeyListEntry* c = list.Append("c", "3");
  EXPECT_EQ(list.At(1), b);
  EXPECT_EQ(list.At(3), nullptr);
  list.Remove(b);
  EXPECT_EQ(a->next, c);
  EXPECT_EQ(c->previous, a);
  list.Remove(a);
  EXPECT_EQ(list.head(), c);
  EXPECT_EQ(c->previous, nullptr);
  list.Remove(c);
  EXPECT_EQ(list.head(), nullptr);
  EXPECT_EQ(list.size(), 0u);
  list.Append("d", "4");
  EXPECT_EQ(list.At(0)->name, "d");
}

}  // namespace
