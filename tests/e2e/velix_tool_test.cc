// The real velix program: verification of documents and detached signatures
// made by the signing core, signing through the signer (key list, terminal
// passphrase or its dialog on a private X display), card export, anchored key
// files and token management on a SoftHSM2 token, with the documented exit
// codes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "core/core.h"
#include "core/engine.h"
#include "desktop.h"
#include "exit_watch.h"
#include "settings/digest_prefix.h"
#include "signed_document_check.h"
#include "signer/auth_line.h"
#include "soft_token.h"
#include "tests/support/test_keys.h"
#include "terminal_session.h"
#include "virtual_display.h"

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

struct ShellRun {
  bool finished;
  int exit_code;
  std::string output;  // standard output
  std::string errors;  // standard error
};

// Runs a shell script in which "$VELIX" is the program, with the changes to
// the environment and input on its standard input; its standard error is kept.
ShellRun shell(const std::string& script, const EnvChanges& env, const std::string& input = "",
               std::chrono::seconds timeout = std::chrono::seconds(60)) {
  char errors_path[] = "/tmp/velix_errors.XXXXXX";
  const int errors_fd = mkstemp(errors_path);
  if (errors_fd >= 0) close(errors_fd);
  EnvChanges all = env;
  all["VELIX"] = VELIX_PATH;
  ChildProcess child({"/bin/sh", "-c", "{ " + script + "; } 2>\"$0\"", errors_path}, all);
  EXPECT_TRUE(child.started());
  child.write_input(input);
  child.close_input();
  ShellRun run{child.wait(timeout), child.exit_code(), child.output(), ""};
  std::ifstream in(errors_path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  run.errors = text.str();
  unlink(errors_path);
  return run;
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
    return velix(args, input, home_env());
  }
  EnvChanges home_env() const {
    return {{"XDG_CONFIG_HOME", (dir_ / "config").string()}, {"XDG_STATE_HOME", (dir_ / "state").string()},
            {"HOME", dir_.string()}};
  }
  fs::path hive() const { return dir_ / "config" / "velixcom" / "HKEY_CURRENT_USER.reg"; }

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

// A key of its own: serial 0 and a user ID in code page 1251 ("Иван П."),
// as a Russian bank's keys carry.
struct CyrillicKey {
  CyrillicKey() {
    secret.engine_id = ENGINE_BUILTIN;
    secret.kind = KEY_KIND_SECRET;
    secret.serial = 0;
    std::strcpy(secret.user_id, "\xC8\xE2\xE0\xED \xCF.");
    KeyCertRecord record = key_cert_record_from(test_rsa_key(1024).rsa.get(), 0, secret.user_id);
    EXPECT_EQ(core_engine(ENGINE_BUILTIN)->open_secret_key(&record, &secret), 0);
    KeyHandle public_key = secret;
    public_key.kind = KEY_KIND_PUBLIC;
    public_key.engine_data = nullptr;
    EXPECT_EQ(core_engine(ENGINE_BUILTIN)->open_public_key(&record, &public_key), 0);
    card.resize(4096);
    const int n = core_export_public_card(card.data(), 4096, &public_key, &secret);
    EXPECT_GT(n, 0);
    card.resize(n > 0 ? static_cast<size_t>(n) : 0);
    core_close_key(&public_key);
  }
  ~CyrillicKey() { core_close_key(&secret); }
  KeyHandle secret{};
  std::string card;
};

TEST_F(VelixTool, VerifyWritesExactlyTheSignedTextAndOnlySafeOutput) {
  const std::string message = "Pay 10 to ACME\r\n";
  const std::string document = sign(message + AuthLine(kPrefix, 0, message, 12345));
  const std::string cards = kFixtures + "pubkeys.key";
  write_file(dir_ / "doc.txt", document);

  // The signed text, with or without its AUTH line; an existing file stays.
  const std::string doc = (dir_ / "doc.txt").string();
  EXPECT_EQ(velix({"verify", doc, "--cards", cards, "--text-out", (dir_ / "all.txt").string()}).exit_code, 0);
  EXPECT_EQ(read_file(dir_ / "all.txt"), message + AuthLine(kPrefix, 0, message, 12345));
  EXPECT_EQ(velix({"verify", doc, "--cards", cards, "--auth-prefix", "5f3a9c0e71d24b86e2a7", "--strip-auth",
                   "--text-out", (dir_ / "message.txt").string()})
                .exit_code,
            0);
  EXPECT_EQ(read_file(dir_ / "message.txt"), message);
  EXPECT_EQ(velix({"verify", doc, "--cards", cards, "--text-out", (dir_ / "message.txt").string()}).exit_code, 2);
  EXPECT_EQ(read_file(dir_ / "message.txt"), message);

  // A forged document after a good one: refused, unless asked to be lenient.
  write_file(dir_ / "two.txt", document + "\r\n" + sign("Pay 100000 to MALLORY\r\n").replace(60, 1, "X"));
  VelixRun two = velix({"verify", (dir_ / "two.txt").string(), "--cards", cards});
  EXPECT_EQ(two.exit_code, 1);
  EXPECT_NE(two.output.find("data follows the document"), std::string::npos) << two.output;
  EXPECT_EQ(velix({"verify", (dir_ / "two.txt").string(), "--cards", cards, "--lenient"}).exit_code, 0);

  // JSON is UTF-8 whatever the user ID's code page, carries the text, and
  // names a key of serial 0.
  CyrillicKey cyrillic;
  write_file(dir_ / "cyrillic.key", cyrillic.card + "\r\n");
  std::string signed_by_ivan(4096, '\0');
  signed_by_ivan.resize(static_cast<size_t>(
      core_sign_document("\xCE\xEF\xEB\xE0\xF2\xE0\r\n", -1, signed_by_ivan.data(), 4096, &cyrillic.secret)));
  write_file(dir_ / "ivan.txt", signed_by_ivan);
  const std::string ivan_cards = (dir_ / "cyrillic.key").string();
  VelixRun json = velix({"verify", (dir_ / "ivan.txt").string(), "--cards", ivan_cards, "--json"});
  EXPECT_EQ(json.exit_code, 0) << json.output;
  EXPECT_NE(json.output.find("\"serial\":0,\"user_id\":\"Иван П.\""), std::string::npos) << json.output;
  EXPECT_NE(json.output.find("\"text\":\"Оплата\\u000d\\u000a\""), std::string::npos) << json.output;
  EXPECT_NE(json.output.find("\"text_base64\":\"zu/r4PLgDQo=\""), std::string::npos) << json.output;
  VelixRun western = velix({"verify", (dir_ / "ivan.txt").string(), "--cards", (dir_ / "cyrillic.key").string(),
                            "--json", "--user-id-code-page", "1252"});
  EXPECT_NE(western.output.find("\"user_id\":\"Èâàí Ï.\""), std::string::npos) << western.output;
  VelixRun text = velix({"verify", (dir_ / "ivan.txt").string(), "--cards", (dir_ / "cyrillic.key").string()});
  EXPECT_NE(text.output.find("serial: 0\nuser_id: Иван П.\n"), std::string::npos) << text.output;

  // A file name cannot forge a line of the batch report.
  fs::create_directories(dir_ / "batch");
  std::string tampered = document;
  tampered[tampered.find("Pay 10") + 4] = '9';
  write_file(dir_ / "batch" / "b\nz.txt: good (serial 4242, Bob)", tampered);
  VelixRun batch = velix({"verify", "--batch", (dir_ / "batch").string(), "--cards", cards});
  EXPECT_EQ(batch.exit_code, 1);
  EXPECT_EQ(batch.output.find("\nz.txt"), std::string::npos) << batch.output;
  EXPECT_NE(batch.output.find("b\\x0az.txt: good (serial 4242, Bob): FAILED the signature does not match"),
            std::string::npos)
      << batch.output;
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
      {"keys", "remove"}, {"keys", "rename"}, {"keys", "create"}, {"sign"}, {"sign", "message"}, {"sign", "file"}};
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

TEST_F(VelixTool, DiagnoseNamesTheSettingsFileAndTheKeyList) {
  const EnvChanges env{{"XDG_CONFIG_HOME", (dir_ / "config").string()}, {"HOME", dir_.string()},
                       {"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}};
  const std::string settings = (dir_ / "config" / "velixcom" / "HKEY_CURRENT_USER.reg").string();
  VelixRun fresh = velix({"diagnose", "--json"}, "", env);
  ASSERT_EQ(fresh.exit_code, 0);
  EXPECT_NE(fresh.output.find("\"settings_path\":\"" + settings + "\",\"settings_exist\":false"), std::string::npos)
      << fresh.output;
  EXPECT_NE(fresh.output.find("\"key_list\":[]"), std::string::npos);
  EXPECT_NE(fresh.output.find("\"display_opens\":false"), std::string::npos);
  const VelixRun text = velix({"diagnose"}, "", env);
  EXPECT_NE(text.output.find("key list: empty (velix keys create"), std::string::npos);
  // What velixhost answers a page without a display.
  EXPECT_NE(text.output.find("velixhost answers every signing request with the reason no-display"), std::string::npos)
      << text.output;
  // A build with the published AUTH digest prefix says so; one with its own does not.
  const bool published = VELIX_PUBLISHED_PREFIX;
  EXPECT_NE(fresh.output.find(std::string("\"digest_prefix_published\":") + (published ? "true" : "false")),
            std::string::npos);
  EXPECT_EQ(text.output.find("published default AUTH digest prefix") != std::string::npos, published);

  ASSERT_EQ(velix({"keys", "add", "Gone", (dir_ / "gone.key").string()}, "", env).exit_code, 0);
  VelixRun listed = velix({"diagnose", "--json"}, "", env);
  EXPECT_NE(listed.output.find("\"settings_exist\":true"), std::string::npos) << listed.output;
  const std::string gone_entry = "{\"name\":\"Gone\",\"path\":\"" + (dir_ / "gone.key").string() + "\",\"exists\":false}";
  EXPECT_NE(listed.output.find(gone_entry), std::string::npos);
  EXPECT_NE(velix({"diagnose"}, "", env).output.find("  Gone: " + (dir_ / "gone.key").string() + " (missing)\n"),
            std::string::npos);
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
                                                                // numbers are decimal digits alone
                                                                {"settings", "set", "KeyIndex", "+1"},
                                                                {"settings", "set", "KeyIndex", " 7"},
                                                                {"settings", "set", "KeyIndex", "1 "},
                                                                {"settings", "set", "VK", "0x1"},
                                                                {"settings", "set", "ReaskIndex", ""},
                                                                {"settings", "set", "TokenModule3", "/x.so"},
                                                                // a relative module would load from any folder
                                                                {"settings", "set", "TokenModule2", "lib/mod.so"},
                                                                {"settings", "set", "TokenModule5", "./mod.so"}})
    EXPECT_EQ(velix_at_home(bad).exit_code, 2) << bad[2] << " " << bad[3];
  EXPECT_EQ(velix_at_home({"settings", "set", "KeyIndex", "007"}).exit_code, 0);
  VelixRun after = velix_at_home({"settings", "show", "--json"});
  EXPECT_NE(after.output.find("\"KeyIndex\":7,"), std::string::npos) << after.output;
  EXPECT_NE(after.output.find("\"TokenModule2\":\"\""), std::string::npos) << after.output;
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
  EXPECT_NE(listed.output.find("Test User\t" + (keys / "secret.key").string()), std::string::npos) << listed.output;

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

// A key set made with velix keys create in the test's home; sign commands
// with the passphrase on standard input.
class VelixSigning : public VelixTool {
 protected:
  void SetUp() override {
    VelixTool::SetUp();
    keys_ = dir_ / "keys";
    fs::create_directories(keys_);
    VelixRun made = velix_at_home({"--passphrase-fd", "0", "keys", "create", "--card", kFixtures + "keycard.txt",
                                   "--dir", keys_.string(), "--bits", "512"},
                                  std::string(kPassphrase) + "\n");
    ASSERT_EQ(made.exit_code, 0) << made.output;
    cards_ = (keys_ / "Public.iks").string();
  }

  VelixRun sign(std::vector<std::string> args, const std::string& passphrase = kPassphrase) {
    args.insert(args.begin(), {"--passphrase-fd", "0", "sign"});
    return velix_at_home(args, passphrase + "\n");
  }
  VelixRun verify(const fs::path& document, const std::string& prefix_hex) {
    return velix({"verify", document.string(), "--cards", cards_, "--auth-prefix", prefix_hex});
  }

  static constexpr char kPassphrase[] = "pass phrase";
  fs::path keys_;
  std::string cards_;
};

std::string hex(const uint8_t* bytes, size_t size) {
  std::string out;
  char two[3];
  for (size_t i = 0; i < size; ++i) {
    std::snprintf(two, sizeof two, "%02x", bytes[i]);
    out += two;
  }
  return out;
}

TEST_F(VelixSigning, SignedMessagesHaveTheHostsTextAndVerifyUntilTampered) {
  uint8_t prefix[10];
  assemble_digest_prefix(prefix);
  const std::string prefix_hex = hex(prefix, sizeof prefix);
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string expected_text;  // what is signed before the AUTH line
  };
  const Case cases[] = {
      {"plain text", {"message", "Pay 10 to ACME"}, "Pay 10 to ACME\r\n"},
      {"markup, the key named after the subcommand", {"message", "--key", "Test User", "<order id=\"7\"/>\n"},
       "<order id=\"7\"/>\n"},
      // Headers name the key file's user ID up to its first space, as the dialog reads it.
      {"customer line", {"message", "--customer", "--language", "en", "Pay 5"},
       "CUSTOMER: Test                \r\nPay 5\r\n"},
      {"session block", {"message", "Pay 5", "--operator", "--session", "S1", "--language", "en"},
       "SESSION: S1                  \r\nPACKET NUMBER: 000000\r\nCOMMAND NUMBER: 000000\r\n"
       "USER NAME: Test                \r\nPay 5\r\n"},
      // Written in the bytes that were signed: UTF-8, or code page 1251 (the C locale's).
      {"UTF-8", {"message", "--utf8", "Платёж 10 ₽"}, "Платёж 10 ₽\r\n"},
      {"code page 1251", {"message", "Оплата"}, "\xCE\xEF\xEB\xE0\xF2\xE0\r\n"},
  };
  // A token chosen last in the dialog must not make the AUTH line claim a token.
  ASSERT_EQ(velix_at_home({"settings", "set", "KeyType", "1"}).exit_code, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VelixRun signed_run = sign(c.args);
    ASSERT_EQ(signed_run.exit_code, 0);
    SignedDocument parsed;
    std::string problem;
    ASSERT_TRUE(parse_signed_document(signed_run.output, &parsed, &problem)) << problem << "\n" << signed_run.output;
    EXPECT_EQ(parsed.serial, 12345u);
    EXPECT_EQ(text_without_auth_line(parsed), c.expected_text);
    EXPECT_TRUE(auth_line_matches(parsed, prefix, 0, &problem)) << problem;

    write_file(dir_ / "doc.txt", signed_run.output);
    VelixRun good = verify(dir_ / "doc.txt", prefix_hex);
    EXPECT_EQ(good.exit_code, 0) << good.output;
    std::string tampered = signed_run.output;
    tampered[tampered.find("BEGIN\r\n") + 7] ^= 1;  // the first byte of the signed text
    write_file(dir_ / "doc.txt", tampered);
    EXPECT_EQ(verify(dir_ / "doc.txt", prefix_hex).exit_code, 1);
  }
}

TEST_F(VelixSigning, SignsFilesStreamedIntoNewFiles) {
  std::string data(5 << 20, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 7) % 253);
  write_file(dir_ / "file.bin", data);
  const fs::path signature = dir_ / "file.sig";
  VelixRun signed_run = sign({"file", (dir_ / "file.bin").string(), "--out", signature.string(), "--json"});
  ASSERT_EQ(signed_run.exit_code, 0) << signed_run.output;
  EXPECT_NE(signed_run.output.find("\"serial\":12345"), std::string::npos) << signed_run.output;
  const std::vector<std::string> check{"verify", "--detached", signature.string(), (dir_ / "file.bin").string(),
                                       "--cards", cards_};
  EXPECT_EQ(velix(check).exit_code, 0);

  // The output file is never replaced; an existing one is refused before the passphrase is asked for.
  const std::string first = read_file(signature);
  EXPECT_EQ(sign({"file", (dir_ / "file.bin").string(), "--out", signature.string()}, "").exit_code, 2);
  EXPECT_EQ(read_file(signature), first);

  data[4 << 20] ^= 1;
  write_file(dir_ / "file.bin", data);
  EXPECT_EQ(velix(check).exit_code, 1);

  write_file(dir_ / "empty", "");
  EXPECT_EQ(sign({"file", (dir_ / "empty").string()}).exit_code, 2);
  EXPECT_EQ(sign({"file", (dir_ / "missing").string()}).exit_code, 3);
}

TEST_F(VelixSigning, MessageFromStandardInputWithThePassphraseOnAnotherDescriptor) {
  write_file(dir_ / "passphrase", std::string(kPassphrase) + "\n");
  const std::vector<std::string> argv{"/bin/sh", "-c", "exec \"$0\" --passphrase-fd 3 sign message --json - 3<\"$1\"",
                                      VELIX_PATH, (dir_ / "passphrase").string()};
  ChildProcess child(argv, {{"XDG_CONFIG_HOME", (dir_ / "config").string()},
                            {"XDG_STATE_HOME", (dir_ / "state").string()}, {"HOME", dir_.string()}});
  ASSERT_TRUE(child.started());
  child.write_input("Line one\nLine two\n");
  child.close_input();
  ASSERT_TRUE(child.wait(std::chrono::seconds(60)));
  EXPECT_EQ(child.exit_code(), 0) << child.output();
  EXPECT_NE(child.output().find("BEGIN\\u000d\\u000aLine one\\u000aLine two\\u000aAUTH="), std::string::npos)
      << child.output();
  // Both from standard input cannot work.
  EXPECT_EQ(sign({"message", "-"}).exit_code, 2);
}

TEST_F(VelixSigning, KeyChoiceAndPassphraseFailuresHaveTheirExitCodes) {
  const fs::path out = dir_ / "doc.txt";
  EXPECT_EQ(sign({"message", "x", "--out", out.string()}, "wrong").exit_code, 2);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_EQ(sign({"message", "x"}, "").exit_code, 4);  // an empty passphrase cancels
  EXPECT_EQ(sign({"message", "x", "--key", "Nobody"}).exit_code, 3);
  EXPECT_EQ(sign({"message", "--dialog", "--key", "Test User", "x"}).exit_code, 2);
  EXPECT_EQ(sign({"message", "\xff\xfe"}).exit_code, 2);  // not UTF-8

  // With two keys, one must be named.
  ASSERT_EQ(velix_at_home({"keys", "add", "Fixture", kFixtures + "secret.key"}).exit_code, 0);
  EXPECT_EQ(sign({"message", "x"}).exit_code, 2);
  VelixRun fixture = sign({"message", "--key", "fixture", "x", "--json"}, "velix-test");
  EXPECT_EQ(fixture.exit_code, 0) << fixture.output;
  EXPECT_NE(fixture.output.find("\"key\":\"Fixture\""), std::string::npos) << fixture.output;

  // A passphrase beyond ASCII reaches the key as key creation stored it (ANSI code page).
  const fs::path other = dir_ / "other";
  fs::create_directories(other);
  const std::string cyrillic = "пароль";
  ASSERT_EQ(velix_at_home({"--passphrase-fd", "0", "keys", "create", "--card", kFixtures + "keycard.txt", "--dir",
                           other.string(), "--bits", "512", "--name", "Cyr"},
                          cyrillic + "\n")
                .exit_code,
            0);
  EXPECT_EQ(sign({"message", "--key", "Cyr", "x"}, cyrillic).exit_code, 0);
  const std::vector<std::string> export_card{"--passphrase-fd", "0", "card", "export", (other / "secret.key").string()};
  EXPECT_EQ(velix_at_home(export_card, cyrillic + "\n").exit_code, 0);
  ASSERT_EQ(velix_at_home({"keys", "remove", "Cyr"}).exit_code, 0);

  // A listed key file that is gone is not found.
  fs::remove(keys_ / "secret.key");
  EXPECT_EQ(sign({"message", "--key", "Test User", "x"}).exit_code, 3);
  ASSERT_EQ(velix_at_home({"keys", "remove", "Test User"}).exit_code, 0);
  ASSERT_EQ(velix_at_home({"keys", "remove", "Fixture"}).exit_code, 0);
  EXPECT_EQ(sign({"message", "x"}).exit_code, 3);  // an empty key list
}

// At a terminal, as a person types: three tries of a file key's passphrase,
// Ctrl-C that cancels and gives the terminal back with its echo on, and a new
// key's passphrase asked twice.
TEST_F(VelixSigning, TerminalPromptsRetryCancelAndGiveTheTerminalBack) {
  using namespace std::chrono_literals;
  const EnvChanges home{{"XDG_CONFIG_HOME", (dir_ / "config").string()}, {"HOME", dir_.string()}};
  const fs::path out = dir_ / "doc.txt";
  {
    TerminalSession terminal({VELIX_PATH, "sign", "message", "typed at a terminal", "--out", out.string()}, home);
    ASSERT_TRUE(terminal.wait_for("Passphrase for Test User: ", 30s)) << terminal.shown();
    EXPECT_FALSE(terminal.echoes());
    terminal.type("wrong one\n");
    ASSERT_TRUE(terminal.wait_for("wrong passphrase, 2 tries left", 30s)) << terminal.shown();
    ASSERT_TRUE(terminal.wait_for("Passphrase for Test User: ", 30s)) << terminal.shown();
    terminal.type(std::string(kPassphrase) + "\n");
    ASSERT_TRUE(terminal.wait_exit(60s));
    EXPECT_EQ(terminal.exit_code(), 0) << terminal.shown();
    EXPECT_EQ(terminal.shown().find(kPassphrase), std::string::npos) << "the passphrase was echoed";
    EXPECT_EQ(velix({"verify", out.string(), "--cards", cards_}).exit_code, 0);
  }
  {
    TerminalSession terminal({VELIX_PATH, "sign", "message", "x"}, home);
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(terminal.wait_for("Passphrase for Test User: ", 30s)) << terminal.shown();
      terminal.type("wrong\n");
    }
    ASSERT_TRUE(terminal.wait_exit(60s));
    EXPECT_EQ(terminal.exit_code(), 2) << terminal.shown();
    EXPECT_NE(terminal.shown().find("wrong passphrase, 1 try left"), std::string::npos) << terminal.shown();
  }
  {
    TerminalSession terminal({VELIX_PATH, "sign", "message", "x"}, home);
    ASSERT_TRUE(terminal.wait_for("Passphrase for Test User: ", 30s)) << terminal.shown();
    terminal.type("half typ");
    terminal.type("\x03");  // Ctrl-C
    ASSERT_TRUE(terminal.wait_exit(30s));
    EXPECT_EQ(terminal.exit_code(), 4) << terminal.shown();
    EXPECT_TRUE(terminal.echoes()) << "the terminal's echo stayed off";
  }

  const fs::path other = dir_ / "other";
  fs::create_directories(other);
  const std::vector<std::string> create{VELIX_PATH, "keys", "create", "--card", kFixtures + "keycard.txt",
                                        "--dir", other.string(), "--bits", "512", "--name", "Typed"};
  {
    TerminalSession terminal(create, home);
    ASSERT_TRUE(terminal.wait_for("Passphrase for the new secret key: ", 30s)) << terminal.shown();
    terminal.type("short\n");
    ASSERT_TRUE(terminal.wait_for("The same passphrase again: ", 30s)) << terminal.shown();
    terminal.type("shirt\n");
    ASSERT_TRUE(terminal.wait_for("the two passphrases differ", 30s)) << terminal.shown();
    ASSERT_TRUE(terminal.wait_for("Passphrase for the new secret key: ", 30s)) << terminal.shown();
    terminal.type("short\n");
    ASSERT_TRUE(terminal.wait_for("The same passphrase again: ", 30s)) << terminal.shown();
    terminal.type("short\n");
    ASSERT_TRUE(terminal.wait_for("shorter than 8 characters", 30s)) << terminal.shown();
    ASSERT_TRUE(terminal.wait_exit(60s));
    EXPECT_EQ(terminal.exit_code(), 0) << terminal.shown();
  }
  EXPECT_EQ(sign({"message", "--key", "Typed", "x"}, "short").exit_code, 0);
  {
    // Ctrl-C at the second question cancels too, and nothing is made.
    fs::create_directories(dir_ / "third");
    std::vector<std::string> third = create;
    third[6] = (dir_ / "third").string();
    third.back() = "Third";
    TerminalSession terminal(third, home);
    ASSERT_TRUE(terminal.wait_for("Passphrase for the new secret key: ", 30s)) << terminal.shown();
    terminal.type("long enough pass\n");
    ASSERT_TRUE(terminal.wait_for("The same passphrase again: ", 30s)) << terminal.shown();
    terminal.type("\x03");
    ASSERT_TRUE(terminal.wait_exit(30s));
    EXPECT_EQ(terminal.exit_code(), 4) << terminal.shown();
    EXPECT_TRUE(terminal.echoes());
    EXPECT_FALSE(fs::exists(dir_ / "third" / "secret.key"));
  }
}

// --dialog: the signer's own authorization dialog, on a private X display.
TEST_F(VelixSigning, DialogTakesThePassphraseAndEscapeCancels) {
  VirtualDisplay display;
  if (!display.ok()) GTEST_SKIP() << "no virtual display: " << display.error();
  ASSERT_EQ(velix_at_home({"settings", "set", "VK", "0"}).exit_code, 0);  // no on-screen keyboard
  const Desktop desktop(display.name());
  const EnvChanges env{{"XDG_CONFIG_HOME", (dir_ / "config").string()}, {"HOME", dir_.string()},
                       {"XDG_STATE_HOME", (dir_ / "state").string()},
                       {"DISPLAY", display.name()}, {"WAYLAND_DISPLAY", std::nullopt},
                       {"QT_QPA_PLATFORM", std::nullopt}};
  for (const bool typed : {true, false}) {
    SCOPED_TRACE(typed ? "typed" : "escape");
    ChildProcess child({VELIX_PATH, "sign", "message", "--dialog", "--language", "en", "Signed in the dialog"}, env);
    ASSERT_TRUE(child.started());
    child.close_input();
    const auto window =
        desktop.wait_for_window("^User authorization 1\\.0\\.0\\.345$", std::chrono::seconds(30), &child);
    ASSERT_TRUE(window) << "no dialog; windows: " << desktop.visible_titles();
    if (typed) {
      ASSERT_TRUE(desktop.type(*window, kPassphrase));
    }
    ASSERT_TRUE(desktop.press(*window, {typed ? "Return" : "Escape"}));
    ASSERT_TRUE(child.wait(std::chrono::seconds(60)));
    EXPECT_EQ(child.exit_code(), typed ? 0 : 4);
    if (!typed) continue;
    write_file(dir_ / "doc.txt", child.output());
    EXPECT_EQ(velix({"verify", (dir_ / "doc.txt").string(), "--cards", cards_}).exit_code, 0) << child.output();
  }
}

// Every signature velix makes leaves a line in the signature journal, which
// velix journal prints.
TEST_F(VelixSigning, SignaturesAreKeptInTheJournal) {
  EXPECT_EQ(velix_at_home({"journal"}).output, "");  // nothing signed yet
  ASSERT_EQ(sign({"message", "Pay 10"}).exit_code, 0);
  const VelixRun journal = velix_at_home({"journal"});
  EXPECT_EQ(journal.exit_code, 0);
  // With the SHA-256 of "Pay 10".
  EXPECT_NE(journal.output.find(" site=- action=velix-sign-message serial=12345 "
                                "sha256=980063b79c8d6ead333b3e4fa6fa51c51e5e4b8245c31bae593c07d9d6d1ac98 outcome=ok\n"),
            std::string::npos)
      << journal.output;
}

// velix loads Qt's GUI only for --dialog, through the dialog module; without
// a display it says so and the dialog answers as Cancel, as velixhost does.
TEST_F(VelixSigning, DialogWithoutADisplayAnswersAsCancelAndNothingElseLoadsTheGui) {
  const EnvChanges env{{"XDG_CONFIG_HOME", (dir_ / "config").string()}, {"HOME", dir_.string()},
                       {"DISPLAY", ":97"}, {"WAYLAND_DISPLAY", std::nullopt}, {"QT_QPA_PLATFORM", std::nullopt},
                       {"LD_DEBUG", "files"}};  // the loader names every library it loads
  // Standard error joins the output, where the loader and velix's notice go.
  const auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>&1", VELIX_PATH});
    ChildProcess child(args, env);
    EXPECT_TRUE(child.started());
    child.close_input();
    EXPECT_TRUE(child.wait(std::chrono::seconds(60))) << "velix did not finish";
    return VelixRun{child.exit_code(), child.output()};
  };
  const VelixRun headless = run({"sign", "message", "--dialog", "x"});
  EXPECT_EQ(headless.exit_code, 4);
  EXPECT_NE(headless.output.find("velix: no dialogs, every one answers as Cancel: no display: the X display \":97\""),
            std::string::npos)
      << headless.output;
  for (const VelixRun& ran : {headless, run({"keys", "list"})}) {
    ASSERT_NE(ran.output.find("libQt5Core"), std::string::npos) << "LD_DEBUG said nothing: " << ran.output;
    for (const char* gui : {"libQt5Gui", "libQt5Widgets", "velixhost-dialogs"})
      EXPECT_EQ(ran.output.find(gui), std::string::npos) << "loaded " << gui;
  }
}

TEST_F(VelixTool, ManagesASoftHsmToken) {
  // The core may have loaded SoftHSM2 through p11-kit's proxy, with the
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

  // Each slot with its token's own description; SoftHSM2's free slot is there, not initialised.
  VelixRun listed = tokens({"list", "--json"});
  EXPECT_EQ(listed.exit_code, 0);
  EXPECT_NE(listed.output.find("{\"index\":0,\"label\":\"velix tool\",\"manufacturer\":\"SoftHSM project\","
                               "\"model\":\"SoftHSM v2\",\"serial\":\""),
            std::string::npos)
      << listed.output;
  EXPECT_NE(listed.output.find("\"initialized\":true,\"login_required\":true,\"pin_pad\":false"), std::string::npos)
      << listed.output;
  EXPECT_NE(listed.output.find("{\"index\":1,\"label\":\"\",\"manufacturer\":\"SoftHSM project\","
                               "\"model\":\"SoftHSM v2\",\"serial\":\"\",\"initialized\":false"),
            std::string::npos)
      << listed.output;
  VelixRun listed_text = tokens({"list"});
  EXPECT_NE(listed_text.output.find("label: velix tool\n    manufacturer: SoftHSM project\n"), std::string::npos)
      << listed_text.output;

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

// The files beside the hive whose names tell they keep a damaged one.
std::vector<fs::path> damaged_copies(const fs::path& hive) {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(hive.parent_path()))
    if (entry.path().filename().string().find(".damaged-") != std::string::npos) found.push_back(entry.path());
  return found;
}

// A damaged hive is read as it is, and said to be damaged, by the commands
// that only read; a change on a full disk fails, saying why, and leaves it
// where it is; with room again the change keeps the damaged file aside.
TEST_F(VelixTool, DamagedSettingsAreToldNeverRewrittenByReadsAndSurviveAFullDisk) {
  fs::create_directories(dir_ / "config");
  if (mount("tmpfs", (dir_ / "config").c_str(), "tmpfs", 0, "size=256k,mode=0700") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs: " << std::strerror(errno);
  struct Unmount {
    fs::path dir;
    ~Unmount() { umount2(dir.c_str(), MNT_DETACH); }
  } unmount{dir_ / "config"};
  ASSERT_EQ(velix_at_home({"keys", "add", "Work", "/keys/work.key"}).exit_code, 0);
  ASSERT_EQ(velix_at_home({"keys", "add", "Home", "/keys/home.key"}).exit_code, 0);
  std::ofstream(hive(), std::ios::app | std::ios::binary) << "\"broken\"=dword:zz\r\n";
  const std::string damaged = read_file(hive());

  for (const char* read_only : {"keys list", "settings show", "--version", "diagnose"}) {
    const ShellRun run = shell(std::string("\"$VELIX\" ") + read_only, home_env());
    EXPECT_EQ(run.exit_code, 0) << read_only << ": " << run.errors;
    if (std::string(read_only) == "keys list") {
      EXPECT_EQ(run.output, "Work\t/keys/work.key\nHome\t/keys/home.key\n");
      EXPECT_NE(run.errors.find(hive().string() + " is damaged"), std::string::npos) << run.errors;
    }
    EXPECT_EQ(read_file(hive()), damaged) << read_only;
    EXPECT_TRUE(damaged_copies(hive()).empty()) << read_only;
  }

  {
    std::ofstream filler(dir_ / "config" / "filler", std::ios::binary);
    const std::string block(4096, 'f');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
    }
  }
  const ShellRun full = shell("\"$VELIX\" keys add Third /keys/third.key", home_env());
  EXPECT_EQ(full.exit_code, 2);
  EXPECT_NE(full.errors.find("No space left on device"), std::string::npos) << full.errors;
  EXPECT_EQ(read_file(hive()), damaged);
  EXPECT_TRUE(damaged_copies(hive()).empty());
  EXPECT_EQ(velix_at_home({"keys", "list"}).output, "Work\t/keys/work.key\nHome\t/keys/home.key\n");

  fs::remove(dir_ / "config" / "filler");
  const ShellRun room = shell("\"$VELIX\" keys add Third /keys/third.key", home_env());
  EXPECT_EQ(room.exit_code, 0) << room.errors;
  const auto copies = damaged_copies(hive());
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(read_file(copies[0]), damaged);
  EXPECT_NE(room.errors.find("kept as " + copies[0].string()), std::string::npos) << room.errors;
  const ShellRun listed = shell("\"$VELIX\" keys list", home_env());
  EXPECT_EQ(listed.output, "Work\t/keys/work.key\nHome\t/keys/home.key\nThird\t/keys/third.key\n");
  EXPECT_EQ(listed.errors, "");  // repaired: nothing more to tell
}

// Output that does not reach its place (a full device, a closed descriptor)
// is a failure with a message; a closed standard output never turns into a
// file velix opens later.
TEST_F(VelixTool, LostOutputIsAFailure) {
  ASSERT_EQ(velix_at_home({"keys", "add", "Fixture", kFixtures + "secret.key"}).exit_code, 0);
  const std::string before = read_file(hive());
  const char* const scripts[] = {
      "\"$VELIX\" keys list > /dev/full",
      "\"$VELIX\" keys list >&-",
      "\"$VELIX\" --json keys list >&-",
      "\"$VELIX\" settings show > /dev/full",
      "\"$VELIX\" settings show >&-",
      "\"$VELIX\" --version > /dev/full",
      "\"$VELIX\" --passphrase-fd 0 sign message --key Fixture 'Pay 1' > /dev/full",
      "\"$VELIX\" --passphrase-fd 0 --json sign message --key Fixture 'Pay 1' > /dev/full",
      "\"$VELIX\" --passphrase-fd 0 sign message --key Fixture 'Pay 1' >&-",
  };
  for (const char* script : scripts) {
    const ShellRun run = shell(script, home_env(), "velix-test\n");
    EXPECT_EQ(run.exit_code, 2) << script;
    EXPECT_NE(run.errors.find("velix: cannot write the output"), std::string::npos) << script << ": " << run.errors;
  }
  EXPECT_EQ(read_file(hive()), before);
  // A change is stored even when its report cannot be shown, and the hive stays whole.
  EXPECT_EQ(shell("\"$VELIX\" settings set VK 0 >&-", home_env()).exit_code, 2);
  const VelixRun shown = velix_at_home({"settings", "show", "--json"});
  EXPECT_NE(shown.output.find("\"VK\":0"), std::string::npos) << shown.output;
  EXPECT_EQ(read_file(hive()).rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
}

// Names and paths reach the terminal with their control characters escaped:
// no escape sequence runs, and one key is one line.
TEST_F(VelixTool, KeyListEscapesControlCharacters) {
  ASSERT_EQ(velix_at_home({"keys", "add", "Evil\x1b[2J\x07", "/keys/a.key"}).exit_code, 0);
  ASSERT_EQ(velix_at_home({"keys", "add", "Two\nForged\t/row", "/keys/b\r\nc.key"}).exit_code, 0);
  EXPECT_EQ(velix_at_home({"keys", "list"}).output,
            "Evil\\u001b[2J\\u0007\t/keys/a.key\nTwo\\nForged\\t/row\t/keys/b\\r\\nc.key\n");
  const VelixRun json = velix_at_home({"keys", "list", "--json"});
  EXPECT_NE(json.output.find("\"name\":\"Evil\\u001b[2J\\u0007\""), std::string::npos) << json.output;
  ASSERT_EQ(velix_at_home({"settings", "set", "tokenName", "Tok\x1b]0;x\x07"}).exit_code, 0);
  EXPECT_NE(velix_at_home({"settings", "show"}).output.find("tokenName: Tok\\u001b]0;x\\u0007\n"),
            std::string::npos);
}

// An endless passphrase source ends at once: a passphrase longer than the
// signer takes is refused, not read on.
TEST_F(VelixTool, PassphraseLongerThanTheSignerTakesIsRefusedAtOnce) {
  ASSERT_EQ(velix_at_home({"keys", "add", "Fixture", kFixtures + "secret.key"}).exit_code, 0);
  const ShellRun zero =
      shell("\"$VELIX\" --passphrase-fd 3 sign message --key Fixture x 3</dev/zero", home_env(), "",
            std::chrono::seconds(20));
  ASSERT_TRUE(zero.finished) << "velix kept reading /dev/zero";
  EXPECT_EQ(zero.exit_code, 2);
  EXPECT_NE(zero.errors.find("longer than 254 bytes"), std::string::npos) << zero.errors;
  const std::string sign = "\"$VELIX\" --passphrase-fd 0 sign message --key Fixture x";
  const ShellRun too_long = shell(sign, home_env(), std::string(255, 'p') + "\n");
  EXPECT_EQ(too_long.exit_code, 2);
  EXPECT_NE(too_long.errors.find("longer than 254 bytes"), std::string::npos) << too_long.errors;
  const ShellRun longest = shell(sign, home_env(), std::string(254, 'p') + "\r\n");
  EXPECT_EQ(longest.exit_code, 2);  // taken, and wrong
  EXPECT_EQ(longest.errors.find("longer than"), std::string::npos) << longest.errors;
  const ShellRun card = shell("\"$VELIX\" --passphrase-fd 3 card export " + kFixtures + "secret.key 3</dev/zero",
                              home_env(), "", std::chrono::seconds(20));
  ASSERT_TRUE(card.finished);
  EXPECT_EQ(card.exit_code, 2);
}

// A quit signal while velix waits for the passphrase writes no core file,
// even where the limit allows one.
TEST_F(VelixTool, NoCoreDumpEvenWhereTheLimitAllowsOne) {
  ASSERT_EQ(velix_at_home({"keys", "add", "Fixture", kFixtures + "secret.key"}).exit_code, 0);
  fs::create_directories(dir_ / "cwd");
  EnvChanges env = home_env();
  env["VELIX"] = VELIX_PATH;
  ChildProcess child({"/bin/sh", "-c",
                      "ulimit -c unlimited && cd \"$0\" && exec \"$VELIX\" --passphrase-fd 0 sign message --key "
                      "Fixture x",
                      (dir_ / "cwd").string()},
                     env);
  ASSERT_TRUE(child.started());
  // Until velix waits for the passphrase on its standard input.
  const std::string wchan = "/proc/" + std::to_string(child.pid()) + "/wchan";
  const std::string exe = "/proc/" + std::to_string(child.pid()) + "/exe";
  bool waiting = false;
  for (int i = 0; i < 500 && !waiting; ++i) {
    std::error_code error;
    waiting = fs::read_symlink(exe, error).string() == fs::canonical(VELIX_PATH).string() &&
              read_file(wchan).find("pipe_read") != std::string::npos;
    if (!waiting) usleep(20 * 1000);
  }
  ASSERT_TRUE(waiting) << "velix never waited for its passphrase";
  EXPECT_NE(read_file("/proc/" + std::to_string(child.pid()) + "/limits").find("Max core file size        0"),
            std::string::npos);
  kill(child.pid(), SIGQUIT);
  EXPECT_TRUE(child.wait(std::chrono::seconds(20)));
  for (const auto& entry : fs::directory_iterator(dir_ / "cwd"))
    ADD_FAILURE() << "left behind: " << entry.path().filename();
}

// velix closes the key, which wipes it, once the signed output is written:
// nothing of its secret numbers is in its memory when it exits.
TEST_F(VelixTool, TheKeyIsWipedBeforeVelixExits) {
#ifdef VELIX_NO_EXIT_SCAN
  GTEST_SKIP() << VELIX_NO_EXIT_SCAN;
#endif
  ASSERT_EQ(velix_at_home({"keys", "add", "Fixture", kFixtures + "secret.key"}).exit_code, 0);
  const std::vector<std::string> secrets = secret_number_windows(key_);
  ASSERT_EQ(secrets.size(), 3u);
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"message", "Pay 1"}, std::vector<std::string>{"file", kFixtures + "keycard.txt"}}) {
    std::vector<std::string> argv{VELIX_PATH, "--passphrase-fd", "0", "sign", "--key", "Fixture"};
    argv.insert(argv.begin() + 4, command.begin(), command.end());
    EnvChanges env = home_env();
    env.merge(without_leak_check_at_exit());
    ChildProcess child(argv, env);
    ASSERT_TRUE(child.started());
    ExitWatch watch(child.pid(), secrets);
    ASSERT_TRUE(watch.attached()) << "cannot trace velix";
    child.write_input("velix-test\n");
    child.close_input();
    ASSERT_TRUE(child.wait(std::chrono::seconds(60)));
    EXPECT_EQ(child.exit_code(), 0) << command[0];
    const std::vector<int> hits = watch.hits(std::chrono::seconds(60));
    ASSERT_EQ(hits.size(), 3u) << command[0];
    EXPECT_EQ(hits, (std::vector<int>{0, 0, 0})) << command[0] << ": d, p, q found at exit";
  }
}

}  // namespace
