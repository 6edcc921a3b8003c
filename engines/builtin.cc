// ENGINE_BUILTIN: registration, control commands and random bytes.
#include "engines/builtin.h"

#include <chrono>
#include <cstring>
#include <ctime>
#include <random>

#include "core/crypto.h"
#include "platform/random.h"

namespace {

RandomPool g_pool;

// 16 seed bytes from the OS; if it fails, the time in the first 4 bytes and
// std::random_device and the clock in the other 12.
void make_seed(uint8_t seed[16]) {
  if (platform::os_random_bytes(seed, 16)) return;
  const uint32_t now = static_cast<uint32_t>(std::time(nullptr));
  std::memcpy(seed, &now, 4);
  uint32_t rest[3] = {};
  try {
    std::random_device device;
    for (uint32_t& word : rest) word = device();
  } catch (...) {
    // no device: the clock alone below
  }
  rest[2] ^= static_cast<uint32_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
  std::memcpy(seed + 4, rest, sizeof rest);
  secure_wipe(rest, sizeof rest);
}

void seed_pool() {
  uint8_t seed[16];
  make_seed(seed);
  random_init(&g_pool);
  while (g_pool.bytes_needed != 0) random_update(&g_pool, seed, sizeof seed);
  secure_wipe(seed, sizeof seed);
}

int key_bits(KeyHandle* key) {
  if (key == nullptr || key->engine_data == nullptr || key->engine_id != ENGINE_BUILTIN)
    return CORE_E_NOT_SUPPORTED;
  if (const BuiltinSecretKey* secret = builtin_secret_key(key)) return static_cast<int>(secret->record.bits);
  if (const RsaPublicKey* pub = builtin_public_key(key)) return static_cast<int>(pub->bits);
  return CORE_E_NOT_SUPPORTED;
}

int ctrl(int command, va_list args) {
  if (command == CTRL_KEY_BITS) return key_bits(va_arg(args, KeyHandle*));
  return CORE_E_NOT_SUPPORTED;
}

int random_bytes(uint8_t* out, int length) {
  if (out == nullptr || length < 0) return 0;
  return random_generate(&g_pool, out, static_cast<size_t>(length)) == 0 ? length : 0;
}

int import_key(const KeyCertRecord*) { return CORE_E_NOT_SUPPORTED; }

}  // namespace

RandomPool* builtin_random_pool() { return &g_pool; }

BuiltinSecretKey* builtin_secret_key(KeyHandle* key) {
  if (key == nullptr || key->kind != KEY_KIND_SECRET) return nullptr;
  return static_cast<BuiltinSecretKey*>(key->engine_data);
}

RsaPublicKey* builtin_public_key(KeyHandle* key) {
  if (key == nullptr || key->kind != KEY_KIND_PUBLIC) return nullptr;
  return static_cast<RsaPublicKey*>(key->engine_data);
}

int builtin_register(EngineEntry* entry) {
  entry->ready = 1;
  entry->ctrl = ctrl;
  entry->open_secret_key = builtin_open_secret_key;
  entry->close_secret_key = builtin_close_secret_key;
  entry->open_public_key = builtin_open_public_key;
  entry->close_public_key = builtin_close_public_key;
  entry->sign_digest = builtin_sign_digest;
  entry->verify_digest = builtin_verify_digest;
  entry->export_secret_key = builtin_export_secret_key;
  entry->export_public_key = builtin_export_public_key;
  entry->import_secret_key = import_key;
  entry->import_public_key = import_key;
  entry->generate_keys = builtin_generate_keys;
  entry->random_bytes = random_bytes;
  entry->public_encrypt = builtin_public_encrypt;
  entry->private_decrypt = builtin_private_decrypt;
  seed_pool();
  return 0;
}

void builtin_reset(EngineEntry* entry) {
  const int16_t id = entry->id;
  *entry = EngineEntry{};
  entry->id = id;
  secure_wipe(&g_pool, sizeof g_pool);
}
