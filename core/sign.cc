#include "core/sign.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <new>

#include "core/armor.h"
#include "core/crypto.h"
#include "core/document.h"

namespace {

// DER DigestInfo prefix for MD5 of PKCS #1.
constexpr uint8_t kMd5DigestInfoPrefix[] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                           0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
constexpr int kDigestInfoSize = sizeof kMd5DigestInfoPrefix + kMd5Size;
constexpr int kPacketBufferSize = 2048;
constexpr int kSignatureRoom = 2048;  // room for the armored signature beside the text
constexpr int kStreamBufferSize = 256 * 1024;

uint32_t system_clock_seconds() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::seconds>(now).count());
}

SigningClock g_clock = system_clock_seconds;

void put_be32(uint8_t* out, uint32_t value) {
  for (int i = 3; i >= 0; --i) {
    out[i] = static_cast<uint8_t>(value);
    value >>= 8;
  }
}

void fill_record(SignatureRecord& record, const KeyHandle& key, bool certification) {
  record = SignatureRecord{};
  record.version = 3;
  record.sig_class = certification ? 0x10 : 0x01;
  record.serial = key.serial;
  static_assert(sizeof record.user_id == sizeof key.user_id);
  std::memcpy(record.user_id, key.user_id, sizeof record.user_id);
  record.user_id[sizeof record.user_id - 1] = '\0';
  record.time = g_clock();
  record.extras_length = kSignatureExtrasSize;
  record.extras[0] = record.sig_class;
  put_be32(record.extras + 1, record.serial);
  put_be32(record.extras + 5, record.time);
  record.pk_algorithm = 1;
  record.digest_algorithm = 1;
}

// Wipes the digest material on every way out of make_signature.
struct DigestScratch {
  uint8_t digest[kMd5Size];
  uint8_t digest_info[kDigestInfoSize];
  ~DigestScratch() { secure_wipe(this, sizeof *this); }
};

int length_of(const char* text, int length) {
  return length < 0 ? static_cast<int>(std::strlen(text)) : length;
}

// The engine of a key, after the routing checks for its sign_digest slot.
int signing_engine(const KeyHandle* key, const EngineEntry** engine) {
  if (key == nullptr) return CORE_E_ARGS;
  const EngineEntry* entry = core_engine(key->engine_id);
  const int check = core_route_check(key->engine_id, entry ? reinterpret_cast<const void*>(entry->sign_digest) : nullptr);
  // A missing slot is make_signature's answer to give.
  if (check != 0 && check != CORE_E_NOT_SUPPORTED) return check;
  *engine = entry;
  return 0;
}

// Signs the data already hashed into md5: the user ID and the extras are
// added, the DigestInfo signed by the engine and the packets armored.
int finish_signature(Md5& md5, KeyHandle* key, char* out, int capacity, const char* user_id,
                     SignatureRecord* record, const EngineEntry* engine) {
  SignatureRecord local;
  SignatureRecord& signature = record ? *record : local;
  fill_record(signature, *key, user_id != nullptr);

  DigestScratch scratch;
  if (user_id != nullptr) md5.update(user_id, std::strlen(user_id));
  md5.update(signature.extras, kSignatureExtrasSize);
  md5.final(scratch.digest);
  std::memcpy(signature.check, scratch.digest, sizeof signature.check);

  std::memcpy(scratch.digest_info, kMd5DigestInfoPrefix, sizeof kMd5DigestInfoPrefix);
  std::memcpy(scratch.digest_info + sizeof kMd5DigestInfoPrefix, scratch.digest, kMd5Size);
  const int signed_result = engine->sign_digest(scratch.digest_info, kDigestInfoSize, signature.value,
                                                static_cast<int>(kSignatureValueSize), key);
  if (signed_result != 0) return signed_result;

  if (out == nullptr || capacity <= 0) return 0;
  std::unique_ptr<uint8_t[]> packets(new (std::nothrow) uint8_t[kPacketBufferSize]);
  if (!packets) return CORE_E_NOMEM;
  const int packet_length = write_packets(packets.get(), kPacketBufferSize, &signature);
  if (packet_length < 0) return packet_length;
  const int armored = armor_encode(packets.get(), packet_length, out, capacity);
  return armored < 0 ? CORE_E_ARMOR_ENCODE : armored;
}

}  // namespace

void set_signing_clock(SigningClock clock) { g_clock = clock ? clock : system_clock_seconds; }

int make_signature(const uint8_t* data, int length, KeyHandle* key, char* out, int capacity,
                   const char* user_id, SignatureRecord* record, const EngineEntry* engine) {
  if (key == nullptr || engine == nullptr || length < 0 || (data == nullptr && length > 0)) return CORE_E_ARGS;
  if (engine->sign_digest == nullptr) return CORE_E_NOT_SUPPORTED;
  Md5 md5;
  md5.update(data, static_cast<size_t>(length));
  return finish_signature(md5, key, out, capacity, user_id, record, engine);
}

int core_sign_document(const char* text, int length, char* out, int capacity, KeyHandle* key) {
  const EngineEntry* engine = nullptr;
  if (const int check = signing_engine(key, &engine); check != 0) return check;
  if (text == nullptr || out == nullptr) return CORE_E_ARGS;
  length = length_of(text, length);
  // A document with an empty data block is one no reader accepts.
  if (length == 0) return CORE_E_NODATA;
  if (length > INT32_MAX - kSignatureRoom) return CORE_E_NOMEM;

  const int signature_capacity = length + kSignatureRoom;
  std::unique_ptr<char[]> signature(new (std::nothrow) char[static_cast<size_t>(signature_capacity)]);
  if (!signature) return CORE_E_NOMEM;
  const int signature_length = make_signature(reinterpret_cast<const uint8_t*>(text), length, key,
                                              signature.get(), signature_capacity, nullptr, nullptr, engine);
  if (signature_length <= 0) return signature_length;

  DocumentRecord doc{};
  doc.version = 1;
  std::memcpy(doc.type, "SM", 3);
  std::memcpy(doc.name1, key->user_id, sizeof doc.name1);
  doc.name1[sizeof doc.name1 - 1] = '\0';
  doc.serial1 = key->serial;
  doc.data = text;
  doc.data_length = length;
  doc.plain_length = length;
  doc.signature = signature.get();
  doc.signature_length = signature_length;
  return write_document(out, capacity, &doc);
}

int core_sign_detached(const char* data, int length, char* out, int capacity, KeyHandle* key) {
  const EngineEntry* engine = nullptr;
  if (const int check = signing_engine(key, &engine); check != 0) return check;
  if (data == nullptr) return CORE_E_ARGS;
  length = length_of(data, length);
  return make_signature(reinterpret_cast<const uint8_t*>(data), length, key, out, capacity, nullptr, nullptr,
                        engine);
}

int core_sign_detached_stream(CoreReadFn read, void* context, char* out, int capacity, KeyHandle* key) {
  const EngineEntry* engine = nullptr;
  if (const int check = signing_engine(key, &engine); check != 0) return check;
  if (read == nullptr) return CORE_E_ARGS;
  if (engine->sign_digest == nullptr) return CORE_E_NOT_SUPPORTED;

  // One fixed buffer however long the stream is: the digest takes each piece
  // as it arrives.
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kStreamBufferSize]);
  if (!buffer) return CORE_E_NOMEM;
  Md5 md5;
  for (;;) {
    const int got = read(context, buffer.get(), kStreamBufferSize);
    if (got < 0) return got;
    if (got == 0) break;
    if (got > kStreamBufferSize) return CORE_E_ARGS;
    md5.update(buffer.get(), static_cast<size_t>(got));
  }
  return finish_signature(md5, key, out, capacity, nullptr, nullptr, engine);
}
