#include "core/secret_key.h"

#include <cstring>
#include <memory>
#include <new>

#include "core/armor.h"
#include "core/core.h"
#include "core/crypto.h"
#include "core/document.h"
#include "core/engine.h"
#include "core/key_export.h"
#include "core/key_packets.h"
#include "core/keycert_codec.h"

namespace {

constexpr int kPacketBufferSize = 2048;

int load_into(const char* text, int length, const char* passphrase, KeyCertRecord* cert) {
  DocumentRecord doc{};
  const int read = read_document(text, length, &doc);
  if (read < 0) return read;
  if (read == 0 || std::strcmp(doc.type, "NM") != 0) return CORE_E_DOCTYPE;

  std::unique_ptr<uint8_t[]> packets(new (std::nothrow) uint8_t[kPacketBufferSize]);
  if (!packets) return CORE_E_NOMEM;
  const int decoded = armor_decode(doc.data, doc.data_length, packets.get(), kPacketBufferSize);
  int rc = decoded < 0 ? CORE_E_ARMOR_DECODE : read_packets(packets.get(), decoded, cert, passphrase);
  secure_wipe(packets.get(), kPacketBufferSize);  // unprotected keys are in clear here
  if (rc != 0) return rc;
  // A document without any key certificate would leave an all-zero key.
  if (cert->packet_type == 0) return CORE_E_NODATA;
  copy_user_id(cert->user_id, sizeof cert->user_id, doc.name1);
  return 0;
}

}  // namespace

int load_secret_key_document(const char* text, int length, const char* passphrase, KeyCertRecord* cert) {
  if (text == nullptr || cert == nullptr) return CORE_E_ARGS;
  const int rc = load_into(text, length, passphrase, cert);
  if (rc != 0) secure_wipe(cert, sizeof *cert);
  return rc;
}

int core_open_secret_key(int16_t engine_id, const char* text, int length, const char* passphrase,
                         KeyHandle* key) {
  if (key == nullptr) return CORE_E_ARGS;
  std::memset(key, 0, sizeof *key);
  EngineEntry* engine = core_engine(engine_id);
  const int checked = core_route_check(engine_id, engine ? reinterpret_cast<const void*>(engine->open_secret_key)
                                                         : nullptr);
  if (checked != 0) return checked;

  KeyCertRecord cert{};
  int rc = load_secret_key_document(text, length, passphrase, &cert);
  if (rc == 0) {
    key->engine_id = engine_id;
    key->kind = KEY_KIND_SECRET;
    key->serial = cert.serial;  // the certificate's serial, not the name line's
    copy_user_id(key->user_id, sizeof key->user_id, cert.user_id);
    rc = engine->open_secret_key(&cert, key);
    if (rc != 0) std::memset(key, 0, sizeof *key);
  }
  secure_wipe(&cert, sizeof cert);
  return rc;
}
