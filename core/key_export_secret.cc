// Export of a secret key as an "NM" document and its key file.
#include <cstring>
#include <ctime>
#include <memory>
#include <new>

#include "core/armor.h"
#include "core/crypto.h"
#include "core/document.h"
#include "core/engine.h"
#include "core/key_export.h"
#include "core/key_packets.h"
#include "core/keycert_codec.h"
#include "platform/replace_file.h"
#include "platform/random.h"

namespace {

constexpr int kPacketBufferSize = 2048;
constexpr int kArmorBufferSize = 4096;
constexpr int kKeyFileBufferSize = 4096;

// A heap buffer wiped on release: it holds key material.
struct WipedBuffer {
  explicit WipedBuffer(size_t size) : data(new (std::nothrow) char[size]), size(size) {}
  ~WipedBuffer() {
    if (data) secure_wipe(data.get(), size);
  }
  std::unique_ptr<char[]> data;
  size_t size;
};

// The initial block of the cipher: from the engine's random source, or from
// the system's when the engine has none.
bool random_initial_block(EngineEntry* engine, uint8_t block[kInitialBlockSize]) {
  if (engine->random_bytes && engine->random_bytes(block, kInitialBlockSize) == kInitialBlockSize) return true;
  return platform::os_random_bytes(block, kInitialBlockSize);
}

int export_secret_key(char* out, int capacity, const char* passphrase, KeyHandle* secret_key,
                      KeyCertRecord* cert) {
  EngineEntry* engine = core_engine(secret_key->engine_id);
  const int checked = core_route_check(
      secret_key->engine_id, engine ? reinterpret_cast<const void*>(engine->export_secret_key) : nullptr);
  if (checked != 0) return checked;
  if (const int rc = engine->export_secret_key(cert, secret_key); rc != 0) return rc;
  fill_certificate_identity(cert, kPacketSecretKey, secret_key);
  cert->creation_time = current_time32();
  cert->check_word = 0;

  uint8_t block[kInitialBlockSize];
  if (!random_initial_block(engine, block)) return CORE_E_GENKEY;
  WipedBuffer packets(kPacketBufferSize), armored(kArmorBufferSize);
  if (!packets.data || !armored.data) return CORE_E_NOMEM;
  auto* packet_bytes = reinterpret_cast<uint8_t*>(packets.data.get());
  const int length =
      write_packets(packet_bytes, kPacketBufferSize, cert, passphrase, block, cert->user_id, nullptr);
  if (length <= 0) return length;
  const int armored_length = armor_encode(packet_bytes, length, armored.data.get(), kArmorBufferSize);
  if (armored_length < 0) return CORE_E_ARMOR_ENCODE;

  DocumentRecord doc{};
  doc.version = 1;
  std::memcpy(doc.type, "NM", 3);
  copy_user_id(doc.name1, sizeof doc.name1, cert->user_id);
  doc.serial1 = cert->serial;
  doc.data = armored.data.get();
  doc.data_length = armored_length;
  doc.plain_length = length;
  return write_document(out, capacity, &doc);
}

}  // namespace

void fill_certificate_identity(KeyCertRecord* cert, int packet_type, const KeyHandle* key) {
  cert->version = kKeyCertVersion;
  cert->packet_type = static_cast<int16_t>(packet_type);
  cert->serial = key->serial;
  copy_user_id(cert->user_id, sizeof cert->user_id, key->user_id);
  cert->algorithm = 1;
}

int replace_key_file(const char* path, const void* data, size_t length) {
  platform::ReplaceFailure failure;
  if (platform::replace_file(path, data, length, &failure)) return 0;
  // Out of room or a failing device: the file could be made, its bytes not written.
  return failure == platform::ReplaceFailure::kWrite ? CORE_E_WRITE_FILE : CORE_E_CREATE_FILE;
}

uint32_t current_time32() { return static_cast<uint32_t>(std::time(nullptr)); }

int core_export_secret_key(char* out, int capacity, const char* passphrase, KeyHandle* secret_key) {
  if (out == nullptr || secret_key == nullptr) return CORE_E_ARGS;
  KeyCertRecord cert{};
  const int rc = export_secret_key(out, capacity, passphrase, secret_key, &cert);
  secure_wipe(&cert, sizeof cert);
  return rc;
}

int core_save_secret_key(const char* path, const char* passphrase, KeyHandle* secret_key) {
  if (path == nullptr) return CORE_E_ARGS;
  WipedBuffer document(kKeyFileBufferSize);
  if (!document.data) return CORE_E_NOMEM;
  const int length = core_export_secret_key(document.data.get(), kKeyFileBufferSize - 2, passphrase, secret_key);
  if (length <= 0) return length;
  std::memcpy(document.data.get() + length, "\r\n", 2);
  const int rc = replace_key_file(path, document.data.get(), static_cast<size_t>(length) + 2);
  return rc == 0 ? length + 2 : rc;
}
