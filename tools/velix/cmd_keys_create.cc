// velix keys create: a key set from a key card through the signer's key
// creation (secret key file, public cards), then an entry in the key list.
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>

#include "core/crypto.h"
#include "core/keycard.h"
#include "platform/codepage.h"
#include "platform/file_ops.h"
#include "settings/config.h"
#include "signer/signer.h"
#include "tools/velix/exit_codes.h"
#include "tools/velix/key_list_names.h"
#include "tools/velix/options.h"
#include "tools/velix/report.h"

namespace {

// Below this many characters a new passphrase is taken with a warning.
constexpr size_t kShortPassphrase = 8;

// Dots on a terminal's standard error while the primes are searched; nothing
// when standard error is not a terminal.
class Progress {
 public:
  Progress() {
    if (isatty(STDERR_FILENO) == 0) return;
    std::fputs("Searching for primes", stderr);
    thread_ = std::thread([this] {
      std::unique_lock<std::mutex> lock(mutex_);
      while (!cv_.wait_for(lock, std::chrono::milliseconds(500), [this] { return done_; })) std::fputc('.', stderr);
    });
  }
  ~Progress() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    cv_.notify_one();
    thread_.join();
    std::fputs(" done\n", stderr);
  }

 private:
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
};

// The new key's passphrase: typed twice at a terminal, so that a typing
// mistake cannot lock the key away; one line from --passphrase-fd.
std::string new_key_passphrase(const GlobalOptions& options) {
  constexpr int kTries = 3;
  for (int left = kTries - 1;; --left) {
    std::string passphrase = read_secret(options, "Passphrase for the new secret key: ");
    if (options.passphrase_fd < 0) {
      std::string again = read_secret(options, "The same passphrase again: ");
      const bool same = again == passphrase;
      secure_wipe(again.data(), again.size());
      if (!same) {
        secure_wipe(passphrase.data(), passphrase.size());
        if (left == 0) throw CommandFailure{kExitBadInput, "the two passphrases differ"};
        std::fputs("velix: the two passphrases differ; once more\n", stderr);
        continue;
      }
    }
    if (platform::utf8_to_utf16(passphrase).size() < kShortPassphrase)
      std::fprintf(stderr, "velix: warning: the passphrase is shorter than %zu characters and easy to guess\n",
                   kShortPassphrase);
    return passphrase;
  }
}

// The user ID a key card names; empty when the card does not say.
std::string card_user_id(const std::string& card) {
  uint32_t serial = 0;
  char user_id[32] = {};
  if (parse_key_card(card.c_str(), static_cast<int>(card.size()), &serial, user_id) != 0) return "";
  return user_id;
}

struct CreateArguments {
  std::string card;
  std::string dir;
  int bits = 1024;
  std::string name;
};

void create_keys(const CreateArguments& args, const GlobalOptions& options) {
  const std::string card = read_input_file(args.card);
  std::error_code error;
  if (!std::filesystem::is_directory(args.dir, error)) throw CommandFailure{kExitNotFound, args.dir + ": no such directory"};
  // Existing keys are never replaced from the command line: the signer would ask.
  for (const char* file : {"secret.key", "pubkeys.key"})
    if (platform::file_exists(platform::join_path(args.dir, file)))
      throw CommandFailure{kExitBadInput, args.dir + " already has keys (" + file + "), not replaced"};
  if (args.bits != 512 && args.bits != 1024 && args.bits != 2048)
    throw CommandFailure{kExitBadInput, "the key size can be 512, 1024 or 2048 bits"};

  std::string given_name;
  if (!args.name.empty()) given_name = key_list_name(args.name);
  const std::string secret_key = platform::join_path(args.dir, "secret.key");
  KeyList keys;
  keys.Load();
  if (!given_name.empty() && find_key(keys, given_name) != nullptr)
    throw CommandFailure{kExitBadInput, "a key named " + args.name + " is already listed"};

  std::string passphrase = new_key_passphrase(options);
  std::u16string message;
  std::optional<std::u16string> public_card;
  {
    CSigner signer;
    std::u16string passphrase16 = platform::utf8_to_utf16(passphrase);
    secure_wipe(passphrase.data(), passphrase.size());
    {
      Progress progress;
      signer.CreateKeys(platform::utf8_to_utf16(args.dir), platform::ansi_to_utf16(card), passphrase16, args.bits,
                        &message);
    }
    secure_wipe(passphrase16.data(), passphrase16.size() * sizeof(char16_t));
    signer.get_PublicCard(&public_card);
  }
  if (!public_card) {
    throw CommandFailure{kExitBadInput,
                         "cannot create the keys: " + (message.empty() ? std::string("no key set was made")
                                                                        : platform::utf16_to_utf8(message))};
  }
  // Named by the key's user ID, the whole of it as the key card gives it.
  std::string name = given_name.empty() ? card_user_id(card) : given_name;
  if (name.empty()) name = "key";
  const std::string base = name;
  for (int n = 2; find_key(keys, name) != nullptr; ++n) name = base + " (" + std::to_string(n) + ")";
  add_key_to_list(keys, name, secret_key);

  Report report;
  report.add("secret_key", secret_key)
      .add("public_card", platform::join_path(args.dir, "Public.iks"))
      .add("name", platform::ansi_to_utf8(name))
      .add("card", platform::utf16_to_utf8(*public_card));
  print_report(report, options.json);
}

}  // namespace

void add_key_create_command(CLI::App& keys, GlobalOptions& options) {
  auto args = std::make_shared<CreateArguments>();
  CLI::App* create = keys.add_subcommand(
      "create", "Create a key set from a key card: secret.key, Public.iks and pubkeys.key in DIR, and a key list entry");
  create->add_option("--card", args->card, "The key card file")->required()->option_text("FILE");
  create->add_option("--dir", args->dir, "The directory for the key files (must exist)")->required()->option_text("DIR");
  create->add_option("--bits", args->bits, "Key size: 512, 1024 (default) or 2048")->option_text("N");
  create->add_option("--name", args->name, "The key list name (default: the key's user ID)")->option_text("NAME");
  create->callback([args, &options] { create_keys(*args, options); });
}
