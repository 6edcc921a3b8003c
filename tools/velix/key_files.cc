#include "tools/velix/key_files.h"

#include <cstring>

#include "core/crypto.h"
#include "core/engine.h"
#include "core/keycert.h"
#include "engines/hardanchor.h"
#include "tools/velix/exit_codes.h"

namespace {

const char* core_code_text(int code) {
  switch (code) {
    case CORE_E_PASSPHRASE: return "wrong passphrase or PIN";
    case CORE_E_FILE_NOT_FOUND: return "file not found";
    case CORE_E_FORMAT: return "not a key file";
    case CORE_E_DOCTYPE: return "wrong document type";
    case CORE_E_KEYCARD: return "not a valid key card";
    case CORE_E_NOT_READY: return "the engine has no module loaded";
    case CORE_E_NOT_SUPPORTED: return "the engine does not support this";
    case CORE_E_NO_PUBLIC_KEY: return "key not found";
    case CORE_E_KEYLEN: return "unsupported key size";
    default: return "core error";
  }
}

}  // namespace

void fail_with_core_code(int code, const std::string& what) {
  int exit_code = kExitBadInput;
  if (code == CORE_E_FILE_NOT_FOUND || code == CORE_E_NO_PUBLIC_KEY) exit_code = kExitNotFound;
  throw CommandFailure{exit_code, what + ": " + core_code_text(code) + " (" + std::to_string(code) + ")"};
}

OpenedKey::OpenedKey(const std::string& path, const GlobalOptions& options) {
  core_init();
  KeyHardAnchor anchor;
  {
    KeyText probe = anchor.RawGetFile(path.c_str());
    if (!probe) throw CommandFailure{kExitNotFound, path + ": " + anchor.message()};
  }
  std::string passphrase = read_key_passphrase(options, "Passphrase: ");
  const int opened = anchor.OpenKeyFile(ENGINE_BUILTIN, path.c_str(), passphrase.c_str(), &key_);
  secure_wipe(passphrase.data(), passphrase.size());
  if (opened != 0) fail_with_core_code(opened, path);
}

OpenedKey::~OpenedKey() {
  if (key_.kind != KEY_KIND_EMPTY) core_close_key(&key_);
}

std::string public_card_of(KeyHandle* secret) {
  EngineEntry* engine = core_engine(secret->engine_id);
  // A secret key gives its public half through the secret export; only n
  // and e are kept.
  KeyCertRecord record{};
  int result = engine->export_public_key(&record, secret);
  if (result != 0 && engine->export_secret_key != nullptr) {
    KeyCertRecord full{};
    result = engine->export_secret_key(&full, secret);
    record.modulus_bits = full.modulus_bits;
    std::memcpy(record.n, full.n, sizeof record.n);
    std::memcpy(record.e, full.e, sizeof record.e);
    secure_wipe(&full, sizeof full);
  }
  if (result != 0) fail_with_core_code(result, "public key");
  KeyHandle public_key{};
  public_key.engine_id = secret->engine_id;
  public_key.kind = KEY_KIND_PUBLIC;
  public_key.serial = secret->serial;
  public_key.creation_time = secret->creation_time;
  std::memcpy(public_key.user_id, secret->user_id, sizeof public_key.user_id);
  record.serial = secret->serial;
  std::memcpy(record.user_id, secret->user_id, sizeof record.user_id);
  result = engine->open_public_key(&record, &public_key);
  if (result != 0) fail_with_core_code(result, "public key");
  std::string card(4096, '\0');
  result = core_export_public_card(card.data(), static_cast<int>(card.size()), &public_key, secret);
  core_close_key(&public_key);
  if (result <= 0) fail_with_core_code(result, "public key card");
  card.resize(static_cast<size_t>(result));
  return card + "\r\n";
}
