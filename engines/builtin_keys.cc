// ENGINE_BUILTIN: opening, closing and exporting keys. Key certificate
// records keep the smaller prime in p and u = p^-1 mod q; the private key
// record keeps the larger prime first and coefficient = second^-1 mod first,
// so prime 1 = record q, prime 2 = record p and the coefficient is u.
#include <cstring>
#include <new>

#include "core/crypto.h"
#include "engines/builtin.h"

namespace {

void free_secret_key(BuiltinSecretKey* secret) {
  secure_wipe(&secret->record, sizeof secret->record);
  delete secret;  // the decoded numbers clear themselves
}

template <size_t N, size_t M>
void copy_low_bytes(uint8_t (&to)[N], const uint8_t (&from)[M]) {
  static_assert(N <= M);
  std::memcpy(to, from + (M - N), N);
}

template <size_t N, size_t M>
void copy_right_aligned(uint8_t (&to)[N], const uint8_t (&from)[M]) {
  static_assert(N >= M);
  std::memset(to, 0, N - M);
  std::memcpy(to + (N - M), from, M);
}

// The record's 16-bit signed bit count, widened.
uint32_t record_bits(const KeyCertRecord& cert) { return static_cast<uint32_t>(static_cast<int32_t>(cert.modulus_bits)); }

}  // namespace

int builtin_attach_secret_key(KeyHandle* key, const RsaPrivateKey& record) {
  if (key == nullptr) return CORE_E_ARGS;
  auto* secret = new (std::nothrow) BuiltinSecretKey;
  if (secret == nullptr) return CORE_E_NOMEM;
  secret->record = record;
  if (!secret->crt.init(secret->record)) {
    free_secret_key(secret);
    return CORE_E_INVALID_KEY;
  }
  key->engine_data = secret;
  return 0;
}

int builtin_attach_public_key(KeyHandle* key, const RsaPublicKey& record) {
  if (key == nullptr) return CORE_E_ARGS;
  auto* pub = new (std::nothrow) RsaPublicKey(record);
  if (pub == nullptr) return CORE_E_NOMEM;
  key->engine_data = pub;
  return 0;
}

int builtin_open_secret_key(const KeyCertRecord* cert, KeyHandle* key) {
  if (cert == nullptr || key == nullptr) return CORE_E_ARGS;
  auto* secret = new (std::nothrow) BuiltinSecretKey;
  if (secret == nullptr) return CORE_E_NOMEM;
  RsaPrivateKey& record = secret->record;
  record = RsaPrivateKey{};
  record.bits = record_bits(*cert);
  std::memcpy(record.modulus, cert->n, sizeof record.modulus);
  std::memcpy(record.public_exponent, cert->e, sizeof record.public_exponent);
  std::memcpy(record.exponent, cert->d, sizeof record.exponent);
  std::memcpy(record.prime[0], cert->q, sizeof record.prime[0]);
  std::memcpy(record.prime[1], cert->p, sizeof record.prime[1]);
  copy_low_bytes(record.coefficient, cert->u);
  // A key that does not multiply out, or that the private operation cannot
  // use (no primes, a bit count out of range), is refused here rather than
  // failing at every signature.
  if (rsa_compute_prime_exponents(record) != 0 || rsa_check_private_key(record) != 0 ||
      !secret->crt.init(record)) {
    free_secret_key(secret);
    return CORE_E_INVALID_KEY;
  }
  key->engine_data = secret;
  return 0;
}

int builtin_open_public_key(const KeyCertRecord* cert, KeyHandle* key) {
  if (cert == nullptr || key == nullptr) return CORE_E_ARGS;
  RsaPublicKey record{};
  record.bits = record_bits(*cert);
  std::memcpy(record.modulus, cert->n, sizeof record.modulus);
  std::memcpy(record.exponent, cert->e, sizeof record.exponent);
  return builtin_attach_public_key(key, record);
}

int builtin_close_secret_key(KeyHandle* key) {
  if (key != nullptr && key->engine_data != nullptr) {
    free_secret_key(static_cast<BuiltinSecretKey*>(key->engine_data));
    key->engine_data = nullptr;
  }
  return 0;
}

int builtin_close_public_key(KeyHandle* key) {
  if (key != nullptr && key->engine_data != nullptr) {
    auto* pub = static_cast<RsaPublicKey*>(key->engine_data);
    secure_wipe(pub, sizeof *pub);
    delete pub;
    key->engine_data = nullptr;
  }
  return 0;
}

int builtin_export_secret_key(KeyCertRecord* cert, KeyHandle* key) {
  const BuiltinSecretKey* secret = builtin_secret_key(key);
  if (secret == nullptr) return CORE_E_INVALID_KEY;
  if (cert == nullptr) return CORE_E_ARGS;
  const RsaPrivateKey& record = secret->record;
  cert->modulus_bits = static_cast<int16_t>(record.bits & 0xFFFF);
  std::memcpy(cert->n, record.modulus, sizeof cert->n);
  std::memcpy(cert->e, record.public_exponent, sizeof cert->e);
  std::memcpy(cert->d, record.exponent, sizeof cert->d);
  std::memcpy(cert->q, record.prime[0], sizeof cert->q);
  std::memcpy(cert->p, record.prime[1], sizeof cert->p);
  copy_right_aligned(cert->u, record.coefficient);
  return 0;
}

int builtin_export_public_key(KeyCertRecord* cert, KeyHandle* key) {
  const RsaPublicKey* pub = builtin_public_key(key);
  if (pub == nullptr) return CORE_E_INVALID_KEY;
  if (cert == nullptr) return CORE_E_ARGS;
  cert->modulus_bits = static_cast<int16_t>(pub->bits & 0xFFFF);
  std::memcpy(cert->n, pub->modulus, sizeof cert->n);
  std::memcpy(cert->e, pub->exponent, sizeof cert->e);
  return 0;
}
