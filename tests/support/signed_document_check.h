// Independent checks of what the signer produces, for tests: a signed
// document is taken apart with the core's reader and its signature opened with
// OpenSSL's own RSA public operation; an AUTH digest is recomputed with
// OpenSSL's SHA-1 and Base64. Nothing here calls the code under test's RSA,
// digest or AUTH code.
#pragma once

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/md5.h>
#include <openssl/rsa.h>
#include <openssl/sha.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/armor.h"
#include "core/core.h"
#include "core/document.h"
#include "core/engine.h"
#include "core/keycert.h"

namespace test_support {

// A signed document taken apart.
struct SignedDocument {
  std::string text;  // the signed text as the document carries it
  std::string user_id;
  uint32_t serial = 0;
  std::vector<uint8_t> extras;     // the 9 bytes hashed after the text
  std::vector<uint8_t> signature;  // the RSA signature value
};

// False (with the reason in *why) when the text is not a signed document.
inline bool parse_signed_document(const std::string& document, SignedDocument* out, std::string* why) {
  DocumentRecord doc{};
  const int length = static_cast<int>(document.size());
  if (read_document(document.c_str(), length, &doc) <= 0) return *why = "not a document", false;
  if (std::strcmp(doc.type, "SM") != 0) return *why = std::string("document type ") + doc.type, false;
  std::vector<uint8_t> packets(static_cast<size_t>(doc.signature_length) + 16);
  const int packet_length =
      armor_decode(doc.signature, doc.signature_length, packets.data(), static_cast<int>(packets.size()));
  if (packet_length < 3 + 17 || packets[0] != 0x89) return *why = "no signature packet", false;
  const uint8_t* body = packets.data() + 3;
  const size_t bits = static_cast<size_t>(body[15] << 8 | body[16]);
  if (3 + 17 + (bits + 7) / 8 > static_cast<size_t>(packet_length)) return *why = "short signature", false;
  out->text.assign(doc.data, static_cast<size_t>(doc.data_length));
  out->user_id = doc.name1;
  out->serial = doc.serial1;
  out->extras.assign(body + 2, body + 2 + 9);
  out->signature.assign(body + 17, body + 17 + (bits + 7) / 8);
  return true;
}

// The public key of an open key, exported through its engine.
inline KeyCertRecord public_record_of(KeyHandle* key) {
  KeyCertRecord record{};
  const auto export_public = g_engine_table[key->engine_id].export_public_key;
  if (export_public == nullptr || export_public(&record, key) != 0) ADD_FAILURE() << "public key not exported";
  return record;
}

// The MD5 DigestInfo of the hashed bytes, as a signature opens to it.
inline std::vector<uint8_t> md5_digest_info(const std::string& hashed) {
  static const uint8_t kMd5Prefix[] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                       0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
  std::vector<uint8_t> expected(kMd5Prefix, kMd5Prefix + sizeof kMd5Prefix);
  expected.resize(sizeof kMd5Prefix + MD5_DIGEST_LENGTH);
  MD5(reinterpret_cast<const uint8_t*>(hashed.data()), hashed.size(), expected.data() + sizeof kMd5Prefix);
  return expected;
}

// The MD5 DigestInfo the signature of a document must open to: MD5 over its
// text and its 9 extras bytes.
inline std::vector<uint8_t> expected_digest_info(const SignedDocument& doc) {
  return md5_digest_info(doc.text + std::string(doc.extras.begin(), doc.extras.end()));
}

// The RSA signature value opens, under the modulus and exponent of public_key
// and OpenSSL's RSA, to `expected`.
inline ::testing::AssertionResult SignatureOpensTo(const uint8_t* signature, size_t length,
                                                   const std::vector<uint8_t>& expected,
                                                   const KeyCertRecord& public_key) {
  RSA* rsa = RSA_new();
  RSA_set0_key(rsa, BN_bin2bn(public_key.n, sizeof public_key.n, nullptr),
               BN_bin2bn(public_key.e, sizeof public_key.e, nullptr), nullptr);
  std::vector<uint8_t> opened(static_cast<size_t>(RSA_size(rsa)));
  const int opened_length =
      RSA_public_decrypt(static_cast<int>(length), signature, opened.data(), rsa, RSA_PKCS1_PADDING);
  RSA_free(rsa);
  if (opened_length < 0) return ::testing::AssertionFailure() << "the signature does not open";
  opened.resize(static_cast<size_t>(opened_length));
  if (opened != expected) return ::testing::AssertionFailure() << "the signature opens to another digest";
  return ::testing::AssertionSuccess();
}

// The document's signature opens, under the modulus and exponent of public_key
// and OpenSSL's RSA, to the MD5 DigestInfo of its text and extras.
inline ::testing::AssertionResult VerifiesWithOpenSsl(const std::string& document,
                                                      const KeyCertRecord& public_key) {
  SignedDocument doc;
  std::string why;
  if (!parse_signed_document(document, &doc, &why)) return ::testing::AssertionFailure() << why;
  return SignatureOpensTo(doc.signature.data(), doc.signature.size(), expected_digest_info(doc), public_key);
}

// The 28-character AUTH digest: Base64 of SHA-1 over the 10-byte prefix, the
// key type byte, the text and the serial written as decimal digits and "l".
inline std::string auth_digest(const uint8_t prefix[10], uint8_t key_type, const std::string& text,
                               uint32_t serial) {
  std::string input(reinterpret_cast<const char*>(prefix), 10);
  input.push_back(static_cast<char>(key_type));
  input += text + std::to_string(serial) + "l";
  uint8_t hash[SHA_DIGEST_LENGTH];
  SHA1(reinterpret_cast<const uint8_t*>(input.data()), input.size(), hash);
  char base64[4 * ((SHA_DIGEST_LENGTH + 2) / 3) + 1];
  EVP_EncodeBlock(reinterpret_cast<uint8_t*>(base64), hash, SHA_DIGEST_LENGTH);
  return base64;
}

}  // namespace test_support
