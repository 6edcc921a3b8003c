// ENGINE_OPENSSL key generation with OpenSSL's own generator.
#include <openssl/bn.h>
#include <openssl/rsa.h>

#include "engines/openssl.h"

namespace {

constexpr unsigned long kPublicExponent = 65537;

}  // namespace

int openssl_generate_keys(KeyHandle* secret_key, KeyHandle* public_key, int bits) {
  openssl_prepare_before_first_use();
  if (secret_key == nullptr || public_key == nullptr || bits == 0) return CORE_E_KEYLEN;
  BIGNUM* e = BN_new();
  if (e == nullptr || BN_set_word(e, kPublicExponent) != 1) {
    BN_free(e);
    return CORE_E_GENKEY;
  }
  RSA* secret = RSA_new();
  const bool generated = secret != nullptr && RSA_generate_key_ex(secret, bits, e, nullptr) == 1;
  BN_free(e);
  if (!generated) {
    RSA_free(secret);
    return CORE_E_GENKEY;
  }

  const BIGNUM *n = nullptr, *public_e = nullptr;
  RSA_get0_key(secret, &n, &public_e, nullptr);
  RSA* pub = RSA_new();
  BIGNUM* n_copy = BN_dup(n);
  BIGNUM* e_copy = BN_dup(public_e);
  if (pub == nullptr || n_copy == nullptr || e_copy == nullptr || RSA_set0_key(pub, n_copy, e_copy, nullptr) != 1) {
    BN_free(n_copy);
    BN_free(e_copy);
    RSA_free(pub);
    RSA_free(secret);
    return CORE_E_NOMEM;
  }
  secret_key->engine_data = secret;
  public_key->engine_data = pub;
  return 0;
}
