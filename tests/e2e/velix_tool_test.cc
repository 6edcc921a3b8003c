// The real velix program: verification of documents and detached signatures
// made by the signing core, card export, anchored key files and token
// management on a SoftHSM2 token, with the documented exit codes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "core/core.h"
#include "signer/auth_line.h"
#include "soft_token.h"

namespace fs = std::filesystem;

namespace {

const std::string kFixtures = VELIX_SOURCE_DIR "/tests/fixtures/";
const uint8_t kPrefix[10] = {0x5f, 0x3a, 0x9c, 0x0e, 0x71, 0xd2, 0x4b, 0x86, 0xe2, 0xa7};

struct VelixRun {
  int exit_code;
  std::string output;
};

// Runs velix with the arguments; input (a passphrase line) on its standard input.
VelixRun velix(const std::vector<std::string>& args, const std::string& input = "", const EnvChanges& env = {}) {
  std::vector<std::string> argv{VELIX_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildProcess child(argv, env);
  EXPECT_TRUE(child.started());
  child.write_input(input);
  child.close_input();
  EXPECT_TRUE(child.wait(std::chrono::seconds(60))) << "velix did not finish";
  return {child.exit_code(), child.output()};
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

void write_file(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

class VelixTool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("velix_tool." + std::to_string(getpid()) + "." +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    core_init();
    const std::string key_text = read_file(kFixtures + "secret_unprotected.key");
    ASSERT_EQ(core_open_secret_key(ENGINE_BUILTIN, key_text.c_str(), -1, "", &key_), 0);
  }
  void TearDown() override {
    core_close_key(&key_);
    fs::remove_all(dir_);
  }

  std::string sign(const std::string& text) {
    std::string out(text.size() + 4096, '\0');
    const int n = core_sign_document(text.c_str(), -1, out.data(), static_cast<int>(out.size()), &key_);
    EXPECT_GT(n, 0);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
  }

  // velix with its settings in this test's own folder.
  VelixRun velix_at_home(const std::vector<std::string>& args, const std::string& input = "") {
    fs::create_directories(dir_ / "config");
    return velix(args, input, {{"XDG_CONFIG_HOME", (dir_ / "config").string()}, {"HOME", dir_.string()}});
  }

  fs::path dir_;
  KeyHandle key_{};
};

TEST_F(VelixTool, VerifiesDocumentsAndTellsFailuresByExitCode) {
  const std::string message = "Pay 10 to ACME\r\n";
  const std::string document = sign(message + AuthLine(kPrefix, 0, message, 12345));
  write_file(dir_ / "doc.txt", document);
  std::string tampered = document;
  tampered[tampered.find("Pay 10") + 4] = '9';
  write_file(dir_ / "tampered.txt", tampered);
  const std::string cards = kFixtures + "pubkeys.key";

  VelixRun good = velix({"verify", (dir_ / "doc.txt").string(), "--cards", cards, "--auth-prefix", "5f3a9c0e71d24b86e2a7"});
  EXPECT_EQ(good.exit_code, 0) << good.output;
  EXPECT_NE(good.output.find("serial: 12345"), std::string::npos) << good.output;
  EXPECT_NE(good.output.find("user_id: Test User"), std::string::npos);
  EXPECT_NE(good.output.find("auth_line: good (key file)"), std::string::npos);

  VelixRun json = velix({"verify", (dir_ / "doc.txt").string(), "--cards", cards, "--json"});
  EXPECT_EQ(json.exit_code, 0);
  EXPECT_EQ(json.output.rfind("{\"result\":\"good\",\"serial\":12345,\"user_id\":\"Test User\"", 0), 0u) << json.output;

  EXPECT_EQ(velix({"verify", (dir_ / "tampered.txt").string(), "--cards", cards}).exit_code, 1);
  EXPECT_EQ(velix({"verify", (dir_ / "doc.txt").string(), "--cards", cards, "--auth-prefix", "00000000000000000000"})
                .exit_code,
            1);
  EXPECT_EQ(velix({"verify", (dir_ / "missing.txt").string(), "--cards", cards}).exit_code, 3);
  EXPECT_EQ(velix({"verify", (dir_ / "doc.txt").string(), "--cards", (dir_ / "doc.txt").string()}).exit_code, 2);
  EXPECT_EQ(velix({"verify", (dir_ / "doc.txt").string()}).exit_code, 2);  // --cards is required

  // A card collection without the signer's card: key not found.
  write_file(dir_ / "other.key", read_file(kFixtures + "pubkeys.key"));
  fs::create_directories(dir_ / "batch");
  write_file(dir_ / "batch" / "a.txt", document);
  write_file(dir_ / "batch" / "b.txt", tampered);
  write_file(dir_ / "batch" / "c.txt", sign("Another\r\n"));
  VelixRun batch = velix({"verify", "--batch", (dir_ / "batch").string(), "--cards", cards});
  EXPECT_EQ(batch.exit_code, 1);
  EXPECT_NE(batch.output.find("a.txt: good (serial 12345, Test User)"), std::string::npos) << batch.output;
  EXPECT_NE(batch.output.find("b.txt: FAILED the signature does not match"), std::string::npos);
  EXPECT_NE(batch.output.find("2 of 3 documents good"), std::string::npos);
}

TEST_F(VelixTool, VerifiesDetachedSignaturesOfFiles) {
  std::string data(3 << 20, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i % 251);
  write_file(dir_ / "file.bin", data);
  std::string signature(4096, '\0');
  const int n = core_sign_detached(data.data(), static_cast<int>(data.size()), signature.data(), 4096, &key_);
  ASSERT_GT(n, 0);
  write_file(dir_ / "file.sig", signature.substr(0, static_cast<size_t>(n)));
  const std::string cards = kFixtures + "pubkeys.key";
  const std::vector<std::string> args{"verify", "--detached", (dir_ / "file.sig").string(),
                                      (dir_ / "file.bin").string(), "--cards", cards};
  EXPECT_EQ(velix(args).exit_code, 0);
  data[2 << 20] ^= 1;
  write_file(dir_ / "file.bin", data);
  EXPECT_EQ(velix(args).exit_code, 1);
}

TEST_F(VelixTool, ExportsTheCardOfAKeyFileWithThePassphraseFromADescriptor) {
  const fs::path card = dir_ / "card.iks";
  const std::vector<std::string> args{"--passphrase-fd", "0", "card", "export", kFixtures + "secret.key", "--out",
                                      card.string()};
  VelixRun exported = velix(args, "velix-test\n");
  ASSERT_EQ(exported.exit_code, 0) << exported.output;
  write_file(dir_ / "doc.txt", sign("Checked with the exported card\r\n"));
  EXPECT_EQ(velix({"verify", (dir_ / "doc.txt").string(), "--cards", card.string()}).exit_code, 0);
  VelixRun shown = velix({"card", "show", card.string(), "--json"});
  EXPECT_NE(shown.output.find("\"serial\":12345"), std::string::npos) << shown.output;

  EXPECT_EQ(velix(args, "velix-test\n").exit_code, 2);  // never overwrites
  fs::remove(card);
  EXPECT_EQ(velix(args, "wrong\n").exit_code, 2);
  EXPECT_FALSE(fs::exists(card));
  EXPECT_EQ(velix(args, "\n").exit_code, 4);  // an empty passphrase cancels
}

TEST_F(VelixTool, AnchoredKeyFileIsPrivateAndOpensOnThisMachine) {
  const fs::path anchored = dir_ / "anchored.key";
  VelixRun made = velix({"anchor", "make", kFixtures + "secret.key", "--out", anchored.string()});
  if (made.exit_code == 3) GTEST_SKIP() << "no machine fingerprint here";
  ASSERT_EQ(made.exit_code, 0) << made.output;
  EXPECT_EQ(read_file(anchored).rfind("HARDANCHOR", 0), 0u);
  struct stat info {};
  ASSERT_EQ(stat(anchored.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  VelixRun card = velix({"--passphrase-fd", "0", "card", "export", anchored.string()}, "velix-test\n");
  EXPECT_EQ(card.exit_code, 0);
  EXPECT_NE(card.output.find("NS"), std::string::npos);
  EXPECT_EQ(velix({"anchor", "make", anchored.string(), "--out", (dir_ / "again").string()}).exit_code, 2);
  EXPECT_NE(velix({"anchor", "show", "--json"}).output.find("\"fingerprint\":"), std::string::npos);
}

TEST_F(VelixTool, EverySubcommandHasHelpAndUsageErrorsExitTwo) {
  const std::vector<std::vector<std::string>> commands = {
      {}, {"verify"}, {"card"}, {"card", "export"}, {"card", "show"}, {"anchor"}, {"anchor", "make"},
      {"anchor", "show"}, {"tokens"}, {"tokens", "list"}, {"tokens", "keys"}, {"tokens", "generate"},
      {"tokens", "import"}, {"tokens", "delete"}, {"tokens", "init"}, {"tokens", "data"}, {"diagnose"},
      {"settings"}, {"settings", "show"}, {"settings", "set"}, {"keys"}, {"keys", "list"}, {"keys", "add"},
      {"keys", "remove"}, {"keys", "rename"}, {"keys", "create"}};
  for (auto command : commands) {
    command.push_back("--help");
    VelixRun help = velix(command);
    EXPECT_EQ(help.exit_code, 0) << command.front();
    EXPECT_NE(help.output.find("Usage:"), std::string::npos) << command.front();
  }
  EXPECT_EQ(velix({"--version"}).exit_code, 0);
  EXPECT_EQ(velix({"verify", "--no-such-option"}).exit_code, 2);
  EXPECT_EQ(velix({}).exit_code, 2);
  EXPECT_EQ(velix({"diagnose", "--json"}).exit_code, 0);
}

TEST_F(VelixTool, StoresSettingsAndReadsThemBack) {
  EXPECT_EQ(velix_at_home({"settings", "set", "VK", "0"}).exit_code, 0);
  EXPECT_EQ(velix_at_home({"settings", "set", "tokenName", "My token"}).exit_code, 0);
  EXPECT_EQ(velix_at_home({"settings", "set", "tokenmodule5", "/opt/vendor/libp11.so"}).exit_code, 0);
  VelixRun shown = velix_at_home({"settings", "show", "--json"});
  ASSERT_EQ(shown.exit_code, 0) << shown.output;
  EXPECT_NE(shown.output.find("\"VK\":0"), std::string::npos) << shown.output;
  EXPECT_NE(shown.output.find("\"ReaskIndex\":9"), std::string::npos) << shown.output;  // untouched default
  EXPECT_NE(shown.output.find("\"tokenName\":\"My token\""), std::string::npos);
  EXPECT_NE(shown.output.find("\"TokenModule5\":\"/opt/vendor/libp11.so\""), std::string::npos);
  EXPECT_NE(shown.output.find("\"TokenModule2\":\"\""), std::string::npos);
  // An empty path unsets it.
  EXPECT_EQ(velix_at_home({"settings", "set", "TokenModule5", ""}).exit_code, 0);
  EXPECT_NE(velix_at_home({"settings", "show", "--json"}).output.find("\"TokenModule5\":\"\""), std::string::npos);

  for (const auto& bad : std::vector<std::vector<std::string>>{{"settings", "set", "NoSuchSetting", "1"},
                                                                {"settings", "set", "VK", "2"},
                                                                {"settings", "set", "KeyIndex", "-1"},
                                                                {"settings", "set", "KeyIndex", "1x"},
                                                                {"settings", "set", "TokenModule3", "/x.so"}})
    EXPECT_EQ(velix_at_home(bad).exit_code, 2) << bad[2] << " " << bad[3];
}

TEST_F(VelixTool, ManagesTheKeyList) {
  const std::string key = kFixtures + "secret.key";
  EXPECT_EQ(velix_at_home({"keys", "add", "Work", key}).exit_code, 0);
  EXPECT_EQ(velix_at_home({"keys", "add", "Home", "relative/secret.key"}).exit_code, 0);
  VelixRun listed = velix_at_home({"keys", "list"});
  ASSERT_EQ(listed.exit_code, 0) << listed.output;
  EXPECT_NE(listed.output.find("Work\t" + key + "\n"), std::string::npos) << listed.output;
  // A relative path is kept as an absolute one (velix runs in this process's folder).
  EXPECT_NE(listed.output.find("Home\t" + (fs::current_path() / "relative/secret.key").string()), std::string::npos)
      << listed.output;

  EXPECT_EQ(velix_at_home({"keys", "add", "work", key}).exit_code, 2);  // names ignore letter case
  EXPECT_EQ(velix_at_home({"keys", "rename", "Home", "WORK"}).exit_code, 2);
  EXPECT_EQ(velix_at_home({"keys", "rename", "Work", "Office"}).exit_code, 0);
  EXPECT_EQ(velix_at_home({"keys", "remove", "Home"}).exit_code, 0);
  EXPECT_EQ(velix_at_home({"keys", "remove", "Home"}).exit_code, 3);
  EXPECT_EQ(velix_at_home({"keys", "rename", "Nobody", "X"}).exit_code, 3);
  VelixRun json = velix_at_home({"keys", "list", "--json"});
  EXPECT_EQ(json.output, "{\"keys\":[{\"name\":\"Office\",\"path\":" + std::string("\"") + key + "\"}]}\n");

  // The key management dialog's limits.
  const std::string long_name(255, 'n');
  const std::string long_path = "/" + std::string(254, 'p');
  EXPECT_EQ(velix_at_home({"keys", "add", long_name, key}).exit_code, 2);
  EXPECT_EQ(velix_at_home({"keys", "add", std::string(254, 'n'), key}).exit_code, 0);
  EXPECT_EQ(velix_at_home({"keys", "add", "Long", long_path}).exit_code, 2);
  EXPECT_EQ(velix_at_home({"keys", "add", "Long", long_path.substr(0, 254)}).exit_code, 0);
  EXPECT_EQ(velix_at_home({"keys", "add", "Snow \xE2\x98\x83", key}).exit_code, 2);  // not in the ANSI code page
  EXPECT_EQ(velix_at_home({"keys", "add", "", key}).exit_code, 2);
  EXPECT_EQ(velix_at_home({"keys", "list", "--json"}).output.find("Snow"), std::string::npos);
}

TEST_F(VelixTool, CreatesAKeySetFromAKeyCardAndListsIt) {
  const fs::path keys = dir_ / "keys";
  fs::create_directories(keys);
  const std::vector<std::string> create{"--passphrase-fd", "0", "keys", "create", "--card",
                                        kFixtures + "keycard.txt", "--dir", keys.string(), "--bits", "512"};
  VelixRun made = velix_at_home(create, "new-pass\n");
  ASSERT_EQ(made.exit_code, 0) << made.output;
  EXPECT_TRUE(fs::exists(keys / "Public.iks"));
  EXPECT_TRUE(fs::exists(keys / "pubkeys.key"));
  VelixRun listed = velix_at_home({"keys", "list"});
  EXPECT_NE(listed.output.find("Test\t" + (keys / "secret.key").string()), std::string::npos) << listed.output;

  // The new secret key opens with the passphrase and its signatures check with the new card.
  core_close_key(&key_);
  const std::string secret = read_file(keys / "secret.key");
  ASSERT_EQ(core_open_secret_key(ENGINE_BUILTIN, secret.c_str(), -1, "new-pass", &key_), 0);
  write_file(dir_ / "doc.txt", sign("Signed with the new key\r\n"));
  EXPECT_EQ(velix({"verify", (dir_ / "doc.txt").string(), "--cards", (keys / "Public.iks").string()}).exit_code, 0);

  // Existing keys are not replaced; a missing folder or card is not found; bad sizes are refused.
  EXPECT_EQ(velix_at_home(create, "new-pass\n").exit_code, 2);
  EXPECT_EQ(read_file(keys / "secret.key"), secret);
  std::vector<std::string> elsewhere = create;
  elsewhere[7] = (dir_ / "missing").string();
  EXPECT_EQ(velix_at_home(elsewhere, "new-pass\n").exit_code, 3);
  fs::create_directories(dir_ / "other");
  elsewhere[7] = (dir_ / "other").string();
  elsewhere[9] = "768";
  EXPECT_EQ(velix_at_home(elsewhere, "new-pass\n").exit_code, 2);
  elsewhere[9] = "512";
  EXPECT_EQ(velix_at_home(elsewhere, "\n").exit_code, 4);
  EXPECT_FALSE(fs::exists(dir_ / "other" / "secret.key"));
}

TEST_F(VelixTool, ManagesASoftHsmToken) {
  // The core's start loaded SoftHSM2 through p11-kit's proxy, with the
  // system's token folder: stop it so the token below is made in its own.
  core_close_key(&key_);
  core_done();
  SoftToken token("velix tool");
  const std::string module = kSoftHsmModule;
  const std::string pin = std::string(kUserPin) + "\n";
  const auto tokens = [&](std::vector<std::string> args, const std::string& input = "") {
    std::vector<std::string> full{"--passphrase-fd", "0", "tokens", "--module", module};
    full.insert(full.end(), args.begin(), args.end());
    return velix(full, input);
  };

  VelixRun listed = tokens({"list"});
  EXPECT_EQ(listed.exit_code, 0);
  EXPECT_NE(listed.output.find("velix tool"), std::string::npos) << listed.output;

  const fs::path card = dir_ / "token.iks";
  VelixRun generated = tokens({"generate", "--card", kFixtures + "keycard.txt", "--out", card.string()}, pin);
  ASSERT_EQ(generated.exit_code, 0) << generated.output;
  VelixRun keys = tokens({"keys", "--json"}, pin);
  EXPECT_NE(keys.output.find("\"secret_keys\":[{\"serial\":12345,\"user_id\":\"Test User\"}]"), std::string::npos)
      << keys.output;
  EXPECT_EQ(velix({"card", "show", card.string()}).exit_code, 0);

  write_file(dir_ / "value", "some data");
  EXPECT_EQ(tokens({"data", "write", "notes", "--in", (dir_ / "value").string()}, pin).exit_code, 0);
  VelixRun read = tokens({"data", "read", "notes"}, pin);
  EXPECT_EQ(read.exit_code, 0);
  EXPECT_EQ(read.output, "some data");
  EXPECT_EQ(tokens({"data", "delete", "notes"}, pin).exit_code, 0);
  EXPECT_EQ(tokens({"data", "read", "notes"}, pin).exit_code, 3);

  EXPECT_EQ(tokens({"delete", "12345"}, pin).exit_code, 0);
  EXPECT_EQ(tokens({"keys", "--json"}, pin).output.find("12345"), std::string::npos);
  EXPECT_EQ(tokens({"import", card.string()}, pin).exit_code, 0);
  VelixRun imported = tokens({"keys", "--json"}, pin);
  EXPECT_NE(imported.output.find("\"public_keys\":[{\"serial\":12345"), std::string::npos) << imported.output;

  EXPECT_EQ(tokens({"keys"}, "wrong-pin\n").exit_code, 2);
  EXPECT_EQ(tokens({"--token", "7", "keys"}, pin).exit_code, 3);
}

}  // namespace
