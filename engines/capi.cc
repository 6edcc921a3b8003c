// ENGINE_CRYPTOAPI: the Windows CryptoAPI is not available on this platform.
// The engine stays registered and every slot answers CORE_E_NOT_SUPPORTED.
#include "core/engine.h"

namespace {

int ctrl(int, va_list) { return CORE_E_NOT_SUPPORTED; }
int open_key(const KeyCertRecord*, KeyHandle*) { return CORE_E_NOT_SUPPORTED; }
int close_key(KeyHandle*) { return CORE_E_NOT_SUPPORTED; }
int cipher(const uint8_t*, int, uint8_t*, int, KeyHandle*) { return CORE_E_NOT_SUPPORTED; }
int verify(const uint8_t*, int, const uint8_t*, int, KeyHandle*) { return CORE_E_NOT_SUPPORTED; }
int export_key(KeyCertRecord*, KeyHandle*) { return CORE_E_NOT_SUPPORTED; }
int import_key(const KeyCertRecord*) { return CORE_E_NOT_SUPPORTED; }
int generate(KeyHandle*, KeyHandle*, int) { return CORE_E_NOT_SUPPORTED; }
int random_bytes(uint8_t*, int) { return CORE_E_NOT_SUPPORTED; }

}  // namespace

int capi_register(EngineEntry* entry) {
  entry->ctrl = ctrl;
  entry->open_secret_key = open_key;
  entry->close_secret_key = close_key;
  entry->open_public_key = open_key;
  entry->close_public_key = close_key;
  entry->sign_digest = cipher;
  entry->verify_digest = verify;
  entry->export_secret_key = export_key;
  entry->export_public_key = export_key;
  entry->import_secret_key = import_key;
  entry->import_public_key = import_key;
  entry->generate_keys = generate;
  entry->random_bytes = random_bytes;
  entry->public_encrypt = cipher;
  entry->private_decrypt = cipher;
  entry->status = 0;
  entry->ready = 1;
  return 0;
}

void capi_reset(EngineEntry* entry) {
  const int16_t id = entry->id;
  *entry = EngineEntry{};
  entry->id = id;
}
