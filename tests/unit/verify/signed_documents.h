// Documents to check: made by the signing core with the fixture key or an
// OpenSSL test key, or signed by OpenSSL directly over the same bytes and
// framed with the document writers.
#pragma once

#include <openssl/md5.h>
#include <openssl/objects.h>
#include <openssl/rsa.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "core/armor.h"
#include "core/core.h"
#include "core/document.h"
#include "core/engine.h"
#include "core/packets.h"
#include "tests/support/test_keys.h"
#include "verify/velixverify.h"

namespace verify_test {

inline std::string read_fixture(const char* name) {
  std::ifstream in(std::string(VELIX_SOURCE_DIR "/tests/fixtures/") + name, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

// The fixture key (serial 12345, "Test User"), opened once from its
// unprotected key file.
inline KeyHandle* fixture_key() {
  static KeyHandle key{};
  if (key.kind == KEY_KIND_EMPTY) {
    core_init();
    const std::string text = read_fixture("secret_unprotected.key");
    EXPECT_EQ(core_open_secret_key(ENGINE_BUILTIN, text.c_str(), -1, "", &key), 0);
  }
  return &key;
}

// The 1024-bit OpenSSL test key, opened in the builtin engine as serial 4242.
inline KeyHandle* openssl_test_key() {
  static KeyHandle key{};
  if (key.kind == KEY_KIND_EMPTY) {
    core_init();
    key.engine_id = ENGINE_BUILTIN;
    key.kind = KEY_KIND_SECRET;
    key.serial = 4242;
    std::strcpy(key.user_id, "Test User");
    KeyCertRecord record = test_rsa_key(1024).record;
    EXPECT_EQ(core_engine(ENGINE_BUILTIN)->open_secret_key(&record, &key), 0);
  }
  return &key;
}

inline std::string sign_document(const std::string& text, KeyHandle* key) {
  std::string out(text.size() + 4096, '\0');
  const int length = core_sign_document(text.c_str(), static_cast<int>(text.size()), out.data(),
                                        static_cast<int>(out.size()), key);
  EXPECT_GT(length, 0);
  out.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return out;
}

inline std::string sign_detached(const std::string& data, KeyHandle* key) {
  std::string out(4096, '\0');
  const int length = core_sign_detached(data.data(), static_cast<int>(data.size()), out.data(),
                                        static_cast<int>(out.size()), key);
  EXPECT_GT(length, 0);
  out.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return out;
}

// The public key card of an OpenSSL test key of the given size, as serial
// and user ID, certified by certifying_key (none: an uncertified card).
inline std::string test_card(int bits, uint32_t serial, const char* user_id, KeyHandle* certifying_key) {
  core_init();
  KeyHandle public_key{};
  public_key.engine_id = ENGINE_BUILTIN;
  public_key.kind = KEY_KIND_PUBLIC;
  public_key.serial = serial;
  std::strcpy(public_key.user_id, user_id);
  KeyCertRecord record = test_rsa_key(bits).record;
  EXPECT_EQ(core_engine(ENGINE_BUILTIN)->open_public_key(&record, &public_key), 0);
  std::string out(4096, '\0');
  const int length =
      core_export_public_card(out.data(), static_cast<int>(out.size()), &public_key, certifying_key);
  core_close_key(&public_key);
  EXPECT_GT(length, 0);
  out.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return out + "\r\n";
}

// The public key card of the OpenSSL test key, certified by itself.
inline std::string openssl_test_card() { return test_card(1024, 4242, "Test User", openssl_test_key()); }

// What a hand-made signature may change from a sound one.
struct SignatureFields {
  uint32_t serial = 4242;
  uint32_t time = 1700000000;
  uint8_t sig_class = 0x01;
  uint8_t digest_algorithm = 1;
  const RSA* signing_key = nullptr;  // the OpenSSL test key when absent
};

// The armored signature packets of text, signed by OpenSSL's RSA_sign (MD5,
// PKCS #1 v1.5) over the text and the extras.
inline std::string openssl_signature_block(const std::string& text, const SignatureFields& fields = {}) {
  SignatureRecord sig{};
  sig.version = 3;
  sig.sig_class = fields.sig_class;
  sig.serial = fields.serial;
  sig.time = fields.time;
  sig.extras_length = 9;
  sig.extras[0] = fields.sig_class;
  for (int i = 0; i < 4; ++i) {
    sig.extras[1 + i] = static_cast<uint8_t>(fields.serial >> (24 - 8 * i));
    sig.extras[5 + i] = static_cast<uint8_t>(fields.time >> (24 - 8 * i));
  }
  sig.pk_algorithm = 1;
  sig.digest_algorithm = fields.digest_algorithm;
  const std::string hashed = text + std::string(reinterpret_cast<const char*>(sig.extras), 9);
  uint8_t digest[MD5_DIGEST_LENGTH];
  MD5(reinterpret_cast<const uint8_t*>(hashed.data()), hashed.size(), digest);
  std::memcpy(sig.check, digest, 2);
  const RSA* rsa = fields.signing_key != nullptr ? fields.signing_key : test_rsa_key(1024).rsa.get();
  unsigned value_length = 0;
  uint8_t value[512];
  EXPECT_EQ(RSA_sign(NID_md5, digest, sizeof digest, value, &value_length, const_cast<RSA*>(rsa)), 1);
  std::memcpy(sig.value + sizeof sig.value - value_length, value, value_length);
  uint8_t packets[2048];
  const int packet_length = write_packets(packets, sizeof packets, &sig);
  EXPECT_GT(packet_length, 0);
  char armored[4096];
  EXPECT_GT(armor_encode(packets, packet_length, armored, sizeof armored), 0);
  return armored;
}

// An "SM" document around text and an armored signature block.
inline std::string frame_document(const std::string& text, const std::string& signature_block,
                                  uint32_t serial = 4242, const char* type = "SM") {
  DocumentRecord doc{};
  doc.version = 1;
  std::strcpy(doc.type, type);
  std::strcpy(doc.name1, "Test User");
  doc.serial1 = serial;
  doc.data = text.data();
  doc.data_length = static_cast<int>(text.size());
  doc.plain_length = doc.data_length;
  doc.signature = signature_block.data();
  doc.signature_length = static_cast<int>(signature_block.size());
  std::string out(text.size() + signature_block.size() + 1024, '\0');
  const int length = write_document(out.data(), static_cast<int>(out.size()), &doc);
  EXPECT_GT(length, 0);
  out.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return out;
}

// A card collection, freed with the test.
struct Cards {
  explicit Cards(const std::string& text, unsigned flags = 0) {
    status = velix_cards_load(text.data(), text.size(), flags, &cards);
  }
  ~Cards() { velix_cards_free(cards); }
  Cards(const Cards&) = delete;
  Cards& operator=(const Cards&) = delete;
  velix_cards* cards = nullptr;
  velix_status status;
};

}  // namespace verify_test
