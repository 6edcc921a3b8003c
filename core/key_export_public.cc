// Public key cards ("NS" documents) and card collection files.
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/armor.h"
#include "core/document.h"
#include "core/engine.h"
#include "core/key_export.h"
#include "core/key_packets.h"
#include "core/keycert_codec.h"
#include "core/packets.h"
#include "core/sign.h"
#include "core/user_id_check.h"
#include "platform/read_whole_file.h"

namespace {

constexpr int kCardBufferSize = 2048;
constexpr size_t kScannedFileBytes = 8192;

// Signs the certificate packet with the certifying key: the armored signature
// goes to out, the certifying key's user ID and serial to the document.
int certify(const uint8_t* packet, int packet_length, const char* user_id, KeyHandle* certifying_key,
            const EngineEntry* engine, char* out, int capacity, DocumentRecord* doc) {
  SignatureRecord signature{};
  const int length = make_signature(packet, packet_length, certifying_key, out, capacity, user_id, &signature, engine);
  if (length < 0) return length;
  doc->signature = out;
  doc->signature_length = length;
  copy_user_id(doc->name2, sizeof doc->name2, signature.user_id);
  doc->serial2 = signature.serial;
  return 0;
}

int export_public_card(char* out, int capacity, KeyHandle* public_key, KeyHandle* certifying_key) {
  EngineEntry* engine = core_engine(public_key->engine_id);
  int rc = core_route_check(public_key->engine_id,
                            engine ? reinterpret_cast<const void*>(engine->export_public_key) : nullptr);
  if (rc != 0) return rc;
  KeyCertRecord cert{};
  if ((rc = engine->export_public_key(&cert, public_key)) != 0) return rc;
  fill_certificate_identity(&cert, kPacketPublicKey, public_key);
  cert.creation_time = public_key->creation_time != 0 ? public_key->creation_time : current_time32();
  cert.check_word = user_id_check(reinterpret_cast<const uint8_t*>(cert.user_id));

  EngineEntry* certifying_engine = engine;
  if (certifying_key != nullptr) {
    // An unknown or absent certifying engine is refused before anything is built.
    certifying_engine = core_engine(certifying_key->engine_id);
    if (certifying_engine == nullptr) return CORE_E_ENGINE;
    if (certifying_engine->ready == 0) return CORE_E_NOT_READY;
  }

  std::unique_ptr<uint8_t[]> packets(new (std::nothrow) uint8_t[kCardBufferSize]);
  std::unique_ptr<char[]> armored(new (std::nothrow) char[kCardBufferSize]);
  std::unique_ptr<char[]> signature(new (std::nothrow) char[kCardBufferSize]);
  if (!packets || !armored || !signature) return CORE_E_NOMEM;
  PacketSpan span{};
  const int length = write_packets(packets.get(), kCardBufferSize, &cert, nullptr, nullptr, cert.user_id, &span);
  if (length <= 0) return length;
  const int armored_length = armor_encode(packets.get(), length, armored.get(), kCardBufferSize);
  if (armored_length < 0) return CORE_E_ARMOR_ENCODE;

  DocumentRecord doc{};
  doc.version = 1;
  std::memcpy(doc.type, "NS", 3);
  copy_user_id(doc.name1, sizeof doc.name1, cert.user_id);
  doc.serial1 = cert.serial;
  doc.data = armored.get();
  doc.data_length = armored_length;
  doc.plain_length = length;
  if (certifying_key != nullptr) {
    rc = certify(packets.get() + span.offset, span.length, cert.user_id, certifying_key, certifying_engine,
                 signature.get(), kCardBufferSize, &doc);
    if (rc < 0) return rc;
  }
  return write_document(out, capacity, &doc);
}

// Where the last card with the serial lies among the documents at the start
// of the file (only its first 8192 bytes are scanned).
struct CardSpan {
  bool found = false;
  size_t begin = 0, end = 0;
};

CardSpan find_card(const std::vector<uint8_t>& file, uint32_t serial) {
  CardSpan span;
  const size_t scanned = std::min(file.size(), kScannedFileBytes);
  const char* text = reinterpret_cast<const char*>(file.data());
  size_t offset = 0;
  for (;;) {
    DocumentRecord doc{};
    const int n = read_document(text + offset, static_cast<int>(scanned - offset), &doc);
    if (n <= 0) break;
    if (doc.serial1 == serial) span = {true, offset, offset + static_cast<size_t>(n)};
    offset += static_cast<size_t>(n);
  }
  return span;
}

}  // namespace

int core_export_public_card(char* out, int capacity, KeyHandle* public_key, KeyHandle* certifying_key) {
  if (out == nullptr || public_key == nullptr) return CORE_E_ARGS;
  return export_public_card(out, capacity, public_key, certifying_key);
}

int core_store_public_card(const char* path, KeyHandle* public_key, KeyHandle* certifying_key) {
  if (path == nullptr || public_key == nullptr) return CORE_E_ARGS;
  std::vector<uint8_t> file;
  // A file that exists but cannot be read is not replaced by one holding only the new card.
  if (platform::read_whole_file(path, &file) == platform::FileRead::kFailed) return CORE_E_CREATE_FILE;
  const CardSpan old_card = find_card(file, public_key->serial);

  std::vector<char> card(kCardBufferSize);
  const int length = core_export_public_card(card.data(), kCardBufferSize, public_key, certifying_key);
  if (length <= 0) return length;

  // The new file: the old one with the card replaced in place, or with the card
  // appended; every byte beyond the scanned part is kept.
  const size_t before = old_card.found ? old_card.begin : file.size();
  const size_t after = old_card.found ? old_card.end : file.size();
  std::vector<uint8_t> content(file.begin(), file.begin() + before);
  content.insert(content.end(), card.begin(), card.begin() + length);
  content.insert(content.end(), {'\r', '\n'});
  content.insert(content.end(), file.begin() + after, file.end());

  const int rc = replace_key_file(path, content.data(), content.size());
  if (rc != 0) return rc;
  return static_cast<int>(old_card.found ? content.size() : static_cast<size_t>(length) + 2);
}
