// ENGINE_OPENSSL: registration, control commands and random bytes.
#include "engines/openssl.h"

#include <openssl/crypto.h>
#include <openssl/rand.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <mutex>
#include <thread>

namespace {

EngineEntry* g_entry = nullptr;

// The time, the thread id and rand() at registration, added to OpenSSL's
// generator (which seeds itself from the OS as well) just before the engine
// first needs it. Loading OpenSSL's error texts and adding the seed make
// OpenSSL set up its tables and its generator, a millisecond and a half that
// a velixhost run which never reaches this engine would pay at every start.
std::mutex g_preparation_mutex;
bool g_preparation_pending = false;
uint8_t g_seed[10];

void take_registration_seed() {
  const uint32_t now = static_cast<uint32_t>(std::time(nullptr));
  const uint32_t thread = static_cast<uint32_t>(std::hash<std::thread::id>{}(std::this_thread::get_id()));
  const uint16_t r = static_cast<uint16_t>(std::rand());
  const std::lock_guard<std::mutex> lock(g_preparation_mutex);
  std::memcpy(g_seed, &now, 4);
  std::memcpy(g_seed + 4, &thread, 4);
  std::memcpy(g_seed + 8, &r, 2);
  g_preparation_pending = true;
}

void drop_registration_seed() {
  const std::lock_guard<std::mutex> lock(g_preparation_mutex);
  OPENSSL_cleanse(g_seed, sizeof g_seed);
  g_preparation_pending = false;
}

int key_bits(KeyHandle* key) {
  if (key == nullptr || key->engine_id != ENGINE_OPENSSL || key->engine_data == nullptr)
    return CORE_E_NOT_SUPPORTED;
  const BIGNUM* n = nullptr;
  RSA_get0_key(static_cast<RSA*>(key->engine_data), &n, nullptr, nullptr);
  return n != nullptr ? BN_num_bits(n) : CORE_E_NOT_SUPPORTED;
}

int ctrl(int command, va_list args) {
  switch (command) {
    case CTRL_KEY_BITS:
      return key_bits(va_arg(args, KeyHandle*));
    case CTRL_EXPORT_PEM: {
      KeyHandle* key = va_arg(args, KeyHandle*);
      const char* passphrase = va_arg(args, const char*);
      char* out = va_arg(args, char*);
      const int size = va_arg(args, int);
      return openssl_export_pem(key, passphrase, out, size);
    }
    case CTRL_IMPORT_PEM: {
      KeyHandle* key = va_arg(args, KeyHandle*);
      const char* passphrase = va_arg(args, const char*);
      const char* pem = va_arg(args, const char*);
      const int length = va_arg(args, int);
      return openssl_import_pem(key, passphrase, pem, length);
    }
    default:
      return CORE_E_NOT_SUPPORTED;
  }
}

int random_bytes(uint8_t* out, int length) {
  if (out == nullptr || length < 0) return 0;
  openssl_prepare_before_first_use();
  return RAND_bytes(out, length) > 0 ? length : 0;
}

int import_key(const KeyCertRecord*) { return CORE_E_NOT_SUPPORTED; }

}  // namespace

void openssl_prepare_before_first_use() {
  const std::lock_guard<std::mutex> lock(g_preparation_mutex);
  if (!g_preparation_pending) return;
  OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);
  RAND_seed(g_seed, sizeof g_seed);
  OPENSSL_cleanse(g_seed, sizeof g_seed);
  g_preparation_pending = false;
}

RSA* openssl_key(KeyHandle* key, uint16_t kind) {
  if (key == nullptr || key->kind != kind) return nullptr;
  return static_cast<RSA*>(key->engine_data);
}

int openssl_register(EngineEntry* entry) {
  g_entry = entry;
  take_registration_seed();
  entry->ctrl = ctrl;
  entry->open_secret_key = openssl_open_secret_key;
  entry->close_secret_key = openssl_close_key;
  entry->open_public_key = openssl_open_public_key;
  entry->close_public_key = openssl_close_key;
  entry->sign_digest = openssl_sign_digest;
  entry->verify_digest = openssl_verify_digest;
  entry->export_secret_key = openssl_export_secret_key;
  entry->export_public_key = openssl_export_public_key;
  entry->import_secret_key = import_key;
  entry->import_public_key = import_key;
  entry->generate_keys = openssl_generate_keys;
  entry->random_bytes = random_bytes;
  entry->public_encrypt = openssl_public_encrypt;
  entry->private_decrypt = openssl_private_decrypt;
  entry->ready = 1;
  return 0;
}

void openssl_reset(EngineEntry* entry) {
  const int16_t id = entry->id;
  drop_registration_seed();
  *entry = EngineEntry{};
  entry->id = id;
  g_entry = nullptr;
}
