#include "signer/key_creation.h"

#include <vector>

#include "core/core.h"
#include "platform/codepage.h"
#include "platform/file_ops.h"
#include "ui/load_string.h"
#include "ui/message_box.h"

namespace {

constexpr int kStringDirectory = 154;      // "Directory '"
constexpr int kStringHasKeys = 155;        // "' already has keys!\nDelete and create new keys?"
constexpr int kStringWarning = 156;        // "Warning"
constexpr int kStringCannotCreate = 157;   // "Inposible to create new keys!"
constexpr int kStringCardModified = 158;   // "\nProbably this key`s card ..."
constexpr int kStringSecretKeyFile = 159;  // secret.key could not be written
constexpr int kStringPublicIks = 160;      // Public.iks could not be written
constexpr int kStringPubkeys = 161;        // pubkeys.key could not be written
constexpr int kStringCardBuffer = 162;     // the card could not be exported
constexpr int kStringKeySize = 163;        // "Key size can be 512, 1024 or 2048 bits"
constexpr int kCardCapacity = 8192;

// A failed step's message: its string, a line feed, and what the core code means.
std::string StepFailure(int string_id, int code) {
  return ui::LoadResString(string_id) + "\n" + ui::LoadResString(core_error_string_id(code));
}

// Asks before existing keys are replaced; true when they may go.
bool MayReplaceExistingKeys(const std::string& directory) {
  const char* kKeyFiles[] = {"pubkeys.key", "secret.key"};
  bool has_keys = false;
  for (const char* name : kKeyFiles) has_keys = has_keys || platform::file_exists(platform::join_path(directory, name));
  if (!has_keys) return true;
  // Message boxes take UTF-8, the directory's own encoding.
  const std::string question = ui::LoadResString(kStringDirectory) + directory + ui::LoadResString(kStringHasKeys);
  if (ui::ShowMessageBox(question, ui::LoadResString(kStringWarning), ui::kMbYesNo | ui::kMbIconQuestion) !=
      ui::kIdYes) {
    return false;
  }
  for (const char* name : {"random.bin", "secret.key", "private.key", "pubkeys.key", "Public.iks"}) {
    platform::remove_file(platform::join_path(directory, name));
  }
  return true;
}

// The generated pair, closed whatever way the creation ends.
struct KeyPair {
  KeyHandle secret{};
  KeyHandle public_key{};
  ~KeyPair() {
    core_close_key(&secret);
    core_close_key(&public_key);
  }
};

}  // namespace

std::string CreateKeySet(const std::string& directory, const std::string& key_card, const std::string& passphrase,
                         int bits, std::string* public_card) {
  if (bits != 512 && bits != 1024 && bits != 2048) return ui::LoadResString(kStringKeySize);
  // Without a directory the files would land in the file system's root.
  if (directory.empty()) return StepFailure(kStringSecretKeyFile, CORE_E_CREATE_FILE);
  if (!MayReplaceExistingKeys(directory)) return std::string();

  KeyPair keys;
  const int generated = core_generate_keys(ENGINE_BUILTIN, key_card.c_str(), static_cast<int>(key_card.size()),
                                           &keys.secret, &keys.public_key, bits);
  if (generated != 0) {
    std::string message = ui::LoadResString(kStringCannotCreate);
    if (generated == CORE_E_KEYCARD) message += ui::LoadResString(kStringCardModified);
    return message;
  }

  const int saved = core_save_secret_key(platform::join_path(directory, "secret.key").c_str(), passphrase.c_str(),
                                         &keys.secret);
  if (saved < 0) return StepFailure(kStringSecretKeyFile, saved);

  const std::string public_iks = platform::join_path(directory, "Public.iks");
  platform::remove_file(public_iks);
  const int stored = core_store_public_card(public_iks.c_str(), &keys.public_key, &keys.secret);
  if (stored < 0) return StepFailure(kStringPublicIks, stored);

  const int collected =
      core_store_public_card(platform::join_path(directory, "pubkeys.key").c_str(), &keys.public_key, &keys.secret);
  if (collected < 0) return StepFailure(kStringPubkeys, collected);

  std::vector<char> card(kCardCapacity, '\0');
  const int exported = core_export_public_card(card.data(), kCardCapacity, &keys.public_key, &keys.secret);
  if (exported <= 0) return StepFailure(kStringCardBuffer, exported);
  public_card->assign(card.data(), static_cast<size_t>(exported));
  return std::string();
}
