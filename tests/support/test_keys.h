// RSA test keys generated with OpenSSL, for tests that need a real key
// before key files exist. Header-only: include it from any tests/unit folder.
//
//   const TestKey& key = test_rsa_key(1024);      // generated once per process
//   KeyHandle handle{};                           // open it in an engine:
//   handle.engine_id = ENGINE_BUILTIN; handle.kind = KEY_KIND_SECRET;
//   g_engine_table[ENGINE_BUILTIN].open_secret_key(&key.record, &handle);
//   RSA_public_decrypt(..., key.rsa.get(), RSA_PKCS1_PADDING);  // check with OpenSSL itself
#pragma once

#include <openssl/bn.h>
#include <openssl/rsa.h>

#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>

#include "core/keycert.h"
#include "core/rsa.h"

struct RsaDeleter {
  void operator()(RSA* rsa) const { RSA_free(rsa); }
};
using RsaPtr = std::unique_ptr<RSA, RsaDeleter>;

struct TestKey {
  RsaPtr rsa;            // the key as OpenSSL holds it
  KeyCertRecord record;  // a secret key certificate record: p < q, u = p^-1 mod q
};

namespace test_keys_detail {

struct BnDeleter {
  void operator()(BIGNUM* bn) const { BN_clear_free(bn); }
};
struct BnCtxDeleter {
  void operator()(BN_CTX* ctx) const { BN_CTX_free(ctx); }
};
using BnPtr = std::unique_ptr<BIGNUM, BnDeleter>;

inline void put(const BIGNUM* bn, uint8_t* field, size_t width) {
  if (BN_bn2binpad(bn, field, static_cast<int>(width)) != static_cast<int>(width))
    throw std::runtime_error("test key number does not fit its field");
}

}  // namespace test_keys_detail

// A secret key certificate record of an OpenSSL key, with the record's
// convention: p is the smaller prime and u = p^-1 mod q.
inline KeyCertRecord key_cert_record_from(const RSA* rsa, uint32_t serial = 4242,
                                          const char* user_id = "Test User") {
  using namespace test_keys_detail;
  const BIGNUM *n, *e, *d, *p1, *p2;
  RSA_get0_key(rsa, &n, &e, &d);
  RSA_get0_factors(rsa, &p1, &p2);
  if (BN_cmp(p1, p2) > 0) std::swap(p1, p2);
  std::unique_ptr<BN_CTX, BnCtxDeleter> ctx(BN_CTX_new());
  BnPtr u(BN_mod_inverse(nullptr, p1, p2, ctx.get()));
  if (!u) throw std::runtime_error("test key has no coefficient");
  KeyCertRecord record{};
  record.version = 3;
  record.packet_type = 5;
  record.modulus_bits = static_cast<int16_t>(BN_num_bits(n));
  record.serial = serial;
  std::strncpy(record.user_id, user_id, 20);
  record.algorithm = 1;
  put(n, record.n, sizeof record.n);
  put(e, record.e, sizeof record.e);
  if (d != nullptr) {
    put(d, record.d, sizeof record.d);
    put(p1, record.p, sizeof record.p);
    put(p2, record.q, sizeof record.q);
    put(u.get(), record.u, sizeof record.u);
  }
  return record;
}

// The private key record of an OpenSSL key (prime 1 the larger prime).
inline RsaPrivateKey rsa_private_key_from(const RSA* rsa) {
  using namespace test_keys_detail;
  const BIGNUM *n, *e, *d, *p, *q, *dp, *dq, *coefficient;
  RSA_get0_key(rsa, &n, &e, &d);
  RSA_get0_factors(rsa, &p, &q);
  RSA_get0_crt_params(rsa, &dp, &dq, &coefficient);
  std::unique_ptr<BN_CTX, BnCtxDeleter> ctx(BN_CTX_new());
  BnPtr inverse;
  if (BN_cmp(p, q) < 0) {  // keep the larger prime first
    std::swap(p, q);
    std::swap(dp, dq);
    inverse.reset(BN_mod_inverse(nullptr, q, p, ctx.get()));
    coefficient = inverse.get();
  }
  RsaPrivateKey key{};
  key.bits = static_cast<uint32_t>(BN_num_bits(n));
  put(n, key.modulus, sizeof key.modulus);
  put(e, key.public_exponent, sizeof key.public_exponent);
  put(d, key.exponent, sizeof key.exponent);
  put(p, key.prime[0], sizeof key.prime[0]);
  put(q, key.prime[1], sizeof key.prime[1]);
  put(dp, key.prime_exponent[0], sizeof key.prime_exponent[0]);
  put(dq, key.prime_exponent[1], sizeof key.prime_exponent[1]);
  put(coefficient, key.coefficient, sizeof key.coefficient);
  return key;
}

inline RsaPtr generate_test_rsa(int bits) {
  RsaPtr rsa(RSA_new());
  test_keys_detail::BnPtr e(BN_new());
  if (!rsa || !e || !BN_set_word(e.get(), RSA_F4) || !RSA_generate_key_ex(rsa.get(), bits, e.get(), nullptr))
    throw std::runtime_error("OpenSSL could not generate a test key");
  return rsa;
}

// A test key of the given size (512 to 2048 bits), generated once per process.
inline const TestKey& test_rsa_key(int bits) {
  static std::map<int, TestKey> keys;
  auto found = keys.find(bits);
  if (found == keys.end()) {
    TestKey key;
    key.rsa = generate_test_rsa(bits);
    key.record = key_cert_record_from(key.rsa.get());
    found = keys.emplace(bits, std::move(key)).first;
  }
  return found->second;
}
