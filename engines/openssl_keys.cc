// ENGINE_OPENSSL: opening, closing and exporting keys. OpenSSL's first prime
// is the record's larger prime q and its second the record's p, so its
// coefficient iqmp (second^-1 mod first) is the record's u.
#include <openssl/bn.h>

#include <memory>

#include "engines/openssl.h"

namespace {

struct BnDeleter {
  void operator()(BIGNUM* bn) const { BN_clear_free(bn); }
};
using BnPtr = std::unique_ptr<BIGNUM, BnDeleter>;
struct BnCtxDeleter {
  void operator()(BN_CTX* ctx) const { BN_CTX_free(ctx); }
};
struct RsaDeleter {
  void operator()(RSA* rsa) const { RSA_free(rsa); }
};
using RsaPtr = std::unique_ptr<RSA, RsaDeleter>;

// The significant bytes of a record field (BN_bin2bn skips leading zeros).
template <size_t N>
BnPtr number(const uint8_t (&field)[N]) {
  return BnPtr(BN_bin2bn(field, static_cast<int>(N), nullptr));
}

template <size_t N>
bool put(const BIGNUM* bn, uint8_t (&field)[N]) {
  return bn != nullptr && BN_bn2binpad(bn, field, static_cast<int>(N)) == static_cast<int>(N);
}

// d mod (prime - 1), or null when the prime is below 2.
BnPtr prime_exponent(const BIGNUM* d, const BIGNUM* prime, BN_CTX* ctx) {
  BnPtr prime_minus_one(BN_new()), result(BN_new());
  if (!prime_minus_one || !result || !BN_sub(prime_minus_one.get(), prime, BN_value_one()) ||
      BN_is_zero(prime_minus_one.get()) || BN_is_negative(prime_minus_one.get()) ||
      !BN_div(nullptr, result.get(), d, prime_minus_one.get(), ctx))
    return nullptr;
  return result;
}

}  // namespace

int openssl_open_secret_key(const KeyCertRecord* cert, KeyHandle* key) {
  openssl_prepare_before_first_use();
  if (cert == nullptr || key == nullptr) return CORE_E_ARGS;
  RsaPtr rsa(RSA_new());
  if (!rsa) return CORE_E_NOMEM;
  BnPtr n = number(cert->n), e = number(cert->e), d = number(cert->d);
  BnPtr first = number(cert->q), second = number(cert->p), iqmp = number(cert->u);
  if (!n || !e || !d || !first || !second || !iqmp) return CORE_E_NOMEM;
  std::unique_ptr<BN_CTX, BnCtxDeleter> ctx(BN_CTX_secure_new());
  if (!ctx) return CORE_E_NOMEM;
  // Primes below 2 have no prime exponent: such a key cannot be valid.
  BnPtr dmp1 = prime_exponent(d.get(), first.get(), ctx.get());
  BnPtr dmq1 = prime_exponent(d.get(), second.get(), ctx.get());
  if (!dmp1 || !dmq1) return CORE_E_INVALID_KEY;
  if (!RSA_set0_key(rsa.get(), n.get(), e.get(), d.get())) return CORE_E_NOMEM;
  n.release(), e.release(), d.release();
  if (!RSA_set0_factors(rsa.get(), first.get(), second.get())) return CORE_E_NOMEM;
  first.release(), second.release();
  if (!RSA_set0_crt_params(rsa.get(), dmp1.get(), dmq1.get(), iqmp.get())) return CORE_E_NOMEM;
  dmp1.release(), dmq1.release(), iqmp.release();
  if (RSA_check_key_ex(rsa.get(), nullptr) != 1) return CORE_E_INVALID_KEY;
  key->engine_data = rsa.release();
  return 0;
}

int openssl_open_public_key(const KeyCertRecord* cert, KeyHandle* key) {
  openssl_prepare_before_first_use();
  if (cert == nullptr || key == nullptr) return CORE_E_ARGS;
  RsaPtr rsa(RSA_new());
  BnPtr n = number(cert->n), e = number(cert->e);
  if (!rsa || !n || !e || !RSA_set0_key(rsa.get(), n.get(), e.get(), nullptr)) return CORE_E_NOMEM;
  n.release(), e.release();
  key->engine_data = rsa.release();
  return 0;
}

int openssl_close_key(KeyHandle* key) {
  if (key != nullptr && key->engine_data != nullptr) {
    RSA_free(static_cast<RSA*>(key->engine_data));  // clears the private numbers
    key->engine_data = nullptr;
  }
  return 0;
}

int openssl_export_secret_key(KeyCertRecord* cert, KeyHandle* key) {
  const RSA* rsa = openssl_key(key, KEY_KIND_SECRET);
  if (rsa == nullptr || cert == nullptr) return CORE_E_INVALID_KEY;
  const BIGNUM *n, *e, *d, *first, *second, *dmp1, *dmq1, *iqmp;
  RSA_get0_key(rsa, &n, &e, &d);
  RSA_get0_factors(rsa, &first, &second);
  RSA_get0_crt_params(rsa, &dmp1, &dmq1, &iqmp);
  cert->modulus_bits = static_cast<int16_t>(BN_num_bits(n));
  if (!put(n, cert->n) || !put(e, cert->e) || !put(d, cert->d) || !put(second, cert->p) || !put(first, cert->q) ||
      !put(iqmp, cert->u))
    return CORE_E_KEYLEN;
  return 0;
}

int openssl_export_public_key(KeyCertRecord* cert, KeyHandle* key) {
  const RSA* rsa = openssl_key(key, KEY_KIND_PUBLIC);
  if (rsa == nullptr || cert == nullptr) return CORE_E_INVALID_KEY;
  const BIGNUM *n, *e;
  RSA_get0_key(rsa, &n, &e, nullptr);
  cert->modulus_bits = static_cast<int16_t>(BN_num_bits(n));
  if (!put(n, cert->n) || !put(e, cert->e)) return CORE_E_KEYLEN;
  return 0;
}
