// Opening real key files (the fixtures) through KeyHardAnchor, plain and
// anchored, with the builtin engine.
#include <gtest/gtest.h>

#include <cstring>

#include "engines/hardanchor.h"
#include "fake_machine.h"

namespace {

const std::string kFixtures = std::string(VELIX_SOURCE_DIR) + "/tests/fixtures/";
constexpr const char* kPassphrase = "velix-test";
constexpr uint32_t kSerial = 12345;

class OpenKeyFileTest : public ::testing::Test {
 protected:
  void SetUp() override { core_init(); }
  void TearDown() override {
    core_close_key(&key);
    core_done();
  }

  // A copy of the protected fixture key anchored to machine.
  std::string anchored_copy() {
    const std::string path = dir.file("anchored.key");
    write_file(path, read_file(kFixtures + "secret.key"));
    EXPECT_EQ(AnchorKeyFile(machine, path.c_str()), 0);
    return path;
  }

  bool empty(const KeyHandle& k) {
    static const KeyHandle zero{};
    return std::memcmp(&k, &zero, sizeof k) == 0;
  }

  FakeMachine machine = FakeMachine::typical();
  TempDir dir;
  KeyHandle key{};
};

TEST_F(OpenKeyFileTest, PlainAndAnchoredFilesOpenAlikeWithTheRightPassphrase) {
  const std::string plain = kFixtures + "secret.key";
  const std::string anchored = anchored_copy();
  for (const std::string& path : {plain, anchored}) {
    KeyHardAnchor anchor(machine);
    ASSERT_EQ(anchor.OpenKeyFile(ENGINE_BUILTIN, path.c_str(), kPassphrase, &key), 0) << path;
    EXPECT_EQ(anchor.anchored(), path == anchored ? 1 : 0);
    EXPECT_EQ(key.serial, kSerial);
    EXPECT_EQ(key.kind, KEY_KIND_SECRET);
    EXPECT_STREQ(key.user_id, "Test User");
    EXPECT_EQ(core_close_key(&key), 0);

    EXPECT_EQ(anchor.OpenKeyFile(ENGINE_BUILTIN, path.c_str(), "wrong", &key), CORE_E_PASSPHRASE) << path;
    EXPECT_TRUE(empty(key));
  }
}

TEST_F(OpenKeyFileTest, AnotherMachineCannotOpenTheAnchoredFile) {
  const std::string path = anchored_copy();
  struct Change {
    const char* what;
    void (*apply)(FakeMachine&);
  } changes[] = {
      {"volume serial", [](FakeMachine& m) { *m.serial ^= 1; }},
      {"drive model", [](FakeMachine& m) { m.drive_list[0].model[0] = 'R'; }},
      {"processor", [](FakeMachine& m) { m.processor_list[0].description.back() = '2'; }},
  };
  for (const auto& change : changes) {
    FakeMachine other = machine;
    change.apply(other);
    KeyHardAnchor anchor(other);
    EXPECT_EQ(anchor.OpenKeyFile(ENGINE_BUILTIN, path.c_str(), kPassphrase, &key), CORE_E_FORMAT) << change.what;
    EXPECT_TRUE(empty(key));
  }
}

TEST_F(OpenKeyFileTest, FilesThatGiveNoKey) {
  KeyHardAnchor anchor(machine);
  const std::string path = dir.file("secret.key");

  write_file(path, "");
  EXPECT_EQ(anchor.OpenKeyFile(ENGINE_BUILTIN, path.c_str(), kPassphrase, &key), CORE_E_FILE_NOT_FOUND);
  EXPECT_EQ(anchor.message(), "RawGetFile: file \"" + path + "\" is empty.");

  const std::string missing = dir.file("missing.key");
  EXPECT_EQ(anchor.OpenKeyFile(ENGINE_BUILTIN, missing.c_str(), kPassphrase, &key), CORE_E_FILE_NOT_FOUND);
  EXPECT_EQ(anchor.OpenKeyFile(ENGINE_BUILTIN, nullptr, kPassphrase, &key), CORE_E_FILE_NOT_FOUND);
  EXPECT_EQ(anchor.OpenKeyFile(ENGINE_BUILTIN, missing.c_str(), kPassphrase, nullptr), CORE_E_ARGS);

  // An anchored file whose marker line never ends.
  write_file(path, "HARDANCHOR 0a1b2c3d4e5f");
  EXPECT_EQ(anchor.OpenKeyFile(ENGINE_BUILTIN, path.c_str(), kPassphrase, &key), CORE_E_FORMAT);
  EXPECT_TRUE(empty(key));

  // No fingerprint: the core gets an empty text, which is no "NM" document.
  const std::string anchored = anchored_copy();
  FakeMachine huge;
  huge.processor_list.push_back({std::string(1100, 'x'), ""});
  KeyHardAnchor nowhere(huge);
  EXPECT_EQ(nowhere.OpenKeyFile(ENGINE_BUILTIN, anchored.c_str(), kPassphrase, &key), CORE_E_DOCTYPE);
  EXPECT_TRUE(empty(key));
}

// The machine the tests run on: anchoring to it and opening again.
TEST_F(OpenKeyFileTest, AnchoredToThisMachineOpensHere) {
  const std::string path = dir.file("here.key");
  write_file(path, read_file(kFixtures + "secret.key"));
  ASSERT_EQ(AnchorKeyFile(path.c_str()), 0);
  KeyHardAnchor anchor;
  ASSERT_EQ(anchor.OpenKeyFile(ENGINE_BUILTIN, path.c_str(), kPassphrase, &key), 0);
  EXPECT_EQ(anchor.anchored(), 1);
  EXPECT_EQ(key.serial, kSerial);
}

}  // namespace
