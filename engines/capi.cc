// ENGINE_CRYPTOAPI: registration. Where the system has CryptoAPI the engine
// works on file keys through it; elsewhere it stays registered and every slot
// answers CORE_E_NOT_SUPPORTED.
#include "engines/capi.h"

namespace {

int ctrl(int, va_list) { return CORE_E_NOT_SUPPORTED; }
int export_key(KeyCertRecord*, KeyHandle*) { return CORE_E_NOT_SUPPORTED; }
int import_key(const KeyCertRecord*) { return CORE_E_NOT_SUPPORTED; }
int generate(KeyHandle*, KeyHandle*, int) { return CORE_E_NOT_SUPPORTED; }

// The slots of a system without CryptoAPI.
int no_open_key(const KeyCertRecord*, KeyHandle*) { return CORE_E_NOT_SUPPORTED; }
int no_close_key(KeyHandle*) { return CORE_E_NOT_SUPPORTED; }
int no_cipher(const uint8_t*, int, uint8_t*, int, KeyHandle*) { return CORE_E_NOT_SUPPORTED; }
int no_verify(const uint8_t*, int, const uint8_t*, int, KeyHandle*) { return CORE_E_NOT_SUPPORTED; }
int no_random_bytes(uint8_t*, int) { return CORE_E_NOT_SUPPORTED; }

}  // namespace

int capi_register(EngineEntry* entry) {
  entry->ctrl = ctrl;
  entry->export_secret_key = export_key;
  entry->export_public_key = export_key;
  entry->import_secret_key = import_key;
  entry->import_public_key = import_key;
  entry->generate_keys = generate;
  if (platform::cryptoapi::available()) {
    entry->open_secret_key = capi_open_secret_key;
    entry->close_secret_key = capi_close_key;
    entry->open_public_key = capi_open_public_key;
    entry->close_public_key = capi_close_key;
    entry->sign_digest = capi_sign_digest;
    entry->verify_digest = capi_verify_digest;
    entry->random_bytes = capi_random_bytes;
    entry->public_encrypt = capi_public_encrypt;
    entry->private_decrypt = capi_private_decrypt;
  } else {
    entry->open_secret_key = no_open_key;
    entry->close_secret_key = no_close_key;
    entry->open_public_key = no_open_key;
    entry->close_public_key = no_close_key;
    entry->sign_digest = no_cipher;
    entry->verify_digest = no_verify;
    entry->random_bytes = no_random_bytes;
    entry->public_encrypt = no_cipher;
    entry->private_decrypt = no_cipher;
  }
  entry->status = 0;
  entry->ready = 1;
  return 0;
}

void capi_reset(EngineEntry* entry) {
  const int16_t id = entry->id;
  *entry = EngineEntry{};
  entry->id = id;
}
