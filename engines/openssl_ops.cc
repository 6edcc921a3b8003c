// ENGINE_OPENSSL key operations with PKCS #1 v1.5 padding. Signatures and
// ciphertexts are written right-aligned in the caller's buffer with the
// leading bytes zeroed.
#include <openssl/crypto.h>

#include <cstring>
#include <vector>

#include "engines/openssl.h"

namespace {

void skip_leading_zeros(const uint8_t*& data, int& length) {
  while (length > 0 && *data == 0) {
    ++data;
    --length;
  }
}

}  // namespace

int openssl_sign_digest(const uint8_t* digest_info, int length, uint8_t* out, int out_size, KeyHandle* key) {
  RSA* rsa = openssl_key(key, KEY_KIND_SECRET);
  if (rsa == nullptr) return CORE_E_INVALID_KEY;
  if (digest_info == nullptr || out == nullptr || length < 0) return CORE_E_ARGS;
  const int k = RSA_size(rsa);
  if (out_size < k) return CORE_E_KEYLEN;
  std::memset(out, 0, static_cast<size_t>(out_size));
  if (RSA_private_encrypt(length, digest_info, out + (out_size - k), rsa, RSA_PKCS1_PADDING) < 0)
    return CORE_E_SIGN;
  return 0;
}

int openssl_verify_digest(const uint8_t* signature, int signature_length, const uint8_t* expected,
                          int expected_length, KeyHandle* key) {
  RSA* rsa = openssl_key(key, KEY_KIND_PUBLIC);
  if (rsa == nullptr) return CORE_E_INVALID_KEY;
  if (signature == nullptr || expected == nullptr) return CORE_E_ARGS;
  skip_leading_zeros(signature, signature_length);
  skip_leading_zeros(expected, expected_length);
  const int k = RSA_size(rsa);
  if (k <= 0) return CORE_E_NOMEM;
  std::vector<uint8_t> block(static_cast<size_t>(k));
  const int opened = RSA_public_decrypt(signature_length, signature, block.data(), rsa, RSA_PKCS1_PADDING);
  const bool match = opened >= 0 && opened == expected_length &&
                     std::memcmp(block.data(), expected, static_cast<size_t>(opened)) == 0;
  return match ? 0 : CORE_E_VERIFY;
}

int openssl_public_encrypt(const uint8_t* in, int length, uint8_t* out, int out_size, KeyHandle* key) {
  RSA* rsa = openssl_key(key, KEY_KIND_PUBLIC);
  if (rsa == nullptr) return CORE_E_INVALID_KEY;
  if (in == nullptr || out == nullptr || length < 0) return CORE_E_ARGS;
  const int k = RSA_size(rsa);
  if (out_size < k || length > k - 11) return CORE_E_KEYLEN;
  std::memset(out, 0, static_cast<size_t>(out_size));
  if (RSA_public_encrypt(length, in, out + (out_size - k), rsa, RSA_PKCS1_PADDING) < 0) return CORE_E_ENCRYPT;
  return 0;
}

// Decrypts into a modulus-sized work buffer first: OpenSSL may use up to
// k - 11 bytes of its output buffer, which can be more than the caller has.
int openssl_private_decrypt(const uint8_t* in, int length, uint8_t* out, int out_size, KeyHandle* key) {
  RSA* rsa = openssl_key(key, KEY_KIND_SECRET);
  if (rsa == nullptr) return CORE_E_INVALID_KEY;
  if (in == nullptr || out == nullptr || length < 0) return CORE_E_ARGS;
  const int k = RSA_size(rsa);
  std::vector<uint8_t> plain(static_cast<size_t>(k));
  const int n = RSA_private_decrypt(length, in, plain.data(), rsa, RSA_PKCS1_PADDING);
  int result = CORE_E_DECRYPT;
  if (n > 0 && n > out_size) {
    result = CORE_E_KEYLEN;
  } else if (n >= 0) {
    std::memcpy(out, plain.data(), static_cast<size_t>(n));
    result = n;
  }
  OPENSSL_cleanse(plain.data(), plain.size());
  return result;
}
