// Independent check of a public key card's certification: OpenSSL's RSA
// public operation over MD5 of the certificate packet, the user ID and the
// signature's extras.
#pragma once

#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/armor.h"
#include "core/document.h"

namespace testing_keys {

inline std::vector<uint8_t> decode_block(const char* text, int length) {
  std::vector<uint8_t> out(4096);
  const int n = armor_decode(text, length, out.data(), static_cast<int>(out.size()));
  out.resize(n > 0 ? n : 0);
  return out;
}

inline bool card_certification_verifies(const std::string& card, RSA* certifier) {
  DocumentRecord doc{};
  if (read_document(card.c_str(), static_cast<int>(card.size()), &doc) <= 0 || doc.signature_length == 0)
    return false;
  const std::vector<uint8_t> packets = decode_block(doc.data, doc.data_length);
  const std::vector<uint8_t> signature = decode_block(doc.signature, doc.signature_length);
  if (packets.size() < 3 || packets[0] != 0x99 || signature.size() < 3 || signature[0] != 0x89) return false;
  const size_t certificate_length = 3 + (packets[1] << 8 | packets[2]);
  // Signature body: version, extras length 9, the extras, algorithms, check bytes, value.
  const uint8_t* body = signature.data() + 3;
  if (body[0] != 3 || body[1] != 9 || body[2] != 0x10 || body[11] != 1 || body[12] != 1) return false;
  const uint8_t* extras = body + 2;
  const size_t value_bits = body[15] << 8 | body[16];
  const uint8_t* value = body + 17;
  const size_t value_length = (value_bits + 7) / 8;

  uint8_t digest[16];
  unsigned int digest_length = 0;
  EVP_MD_CTX* md = EVP_MD_CTX_new();
  EVP_DigestInit_ex(md, EVP_md5(), nullptr);
  EVP_DigestUpdate(md, packets.data(), certificate_length);
  EVP_DigestUpdate(md, doc.name1, std::strlen(doc.name1));
  EVP_DigestUpdate(md, extras, 9);
  EVP_DigestFinal_ex(md, digest, &digest_length);
  EVP_MD_CTX_free(md);
  if (body[13] != digest[0] || body[14] != digest[1]) return false;

  const uint8_t prefix[18] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                              0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
  std::vector<uint8_t> padded(RSA_size(certifier));
  if (value_length > padded.size()) return false;
  std::vector<uint8_t> input(padded.size() - value_length, 0);
  input.insert(input.end(), value, value + value_length);
  const int n = RSA_public_decrypt(static_cast<int>(input.size()), input.data(), padded.data(), certifier,
                                   RSA_PKCS1_PADDING);
  return n == 34 && std::memcmp(padded.data(), prefix, 18) == 0 && std::memcmp(padded.data() + 18, digest, 16) == 0;
}

}  // namespace testing_keys
