#include "verify/rsa_public_key.h"

#include <openssl/bn.h>
#include <openssl/crypto.h>
#include <openssl/rsa.h>

#include <vector>

std::unique_ptr<RsaPublicKey> RsaPublicKey::from_fields(const uint8_t* n, size_t n_size, const uint8_t* e,
                                                        size_t e_size) {
  BIGNUM* modulus = BN_bin2bn(n, static_cast<int>(n_size), nullptr);
  BIGNUM* exponent = BN_bin2bn(e, static_cast<int>(e_size), nullptr);
  RSA* rsa = RSA_new();
  const bool usable = modulus != nullptr && exponent != nullptr && rsa != nullptr && BN_is_odd(modulus) &&
                      BN_num_bits(modulus) >= 256 && BN_is_odd(exponent) && !BN_is_one(exponent) &&
                      BN_cmp(exponent, modulus) < 0;
  if (!usable || RSA_set0_key(rsa, modulus, exponent, nullptr) != 1) {
    BN_free(modulus);
    BN_free(exponent);
    RSA_free(rsa);
    return nullptr;
  }
  return std::unique_ptr<RsaPublicKey>(new RsaPublicKey(rsa));
}

RsaPublicKey::~RsaPublicKey() { RSA_free(rsa_); }

int RsaPublicKey::modulus_bits() const { return RSA_bits(rsa_); }

bool RsaPublicKey::opens_to(const uint8_t* value, size_t value_length, const uint8_t* expected,
                            size_t expected_length) const {
  const size_t size = static_cast<size_t>(RSA_size(rsa_));
  if (value_length == 0 || value_length > size) return false;
  uint8_t opened[512];
  uint8_t padded[512];
  if (size > sizeof padded) return false;
  // The packet drops leading zero bytes of the value; RSA wants the full width.
  const uint8_t* input = value;
  if (value_length < size) {
    std::fill(padded, padded + size - value_length, 0);
    std::copy(value, value + value_length, padded + size - value_length);
    input = padded;
  }
  const int opened_length = RSA_public_decrypt(static_cast<int>(size), input, opened, rsa_, RSA_PKCS1_PADDING);
  return opened_length >= 0 && static_cast<size_t>(opened_length) == expected_length &&
         CRYPTO_memcmp(opened, expected, expected_length) == 0;
}
