// An RSA public key ready for repeated signature checks, shared read-only by
// any number of threads (OpenSSL keeps its Montgomery set-up under the key's
// own lock).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct rsa_st;

class RsaPublicKey {
 public:
  // n and e are right-aligned big-endian fields; null when they make no key.
  static std::unique_ptr<RsaPublicKey> from_fields(const uint8_t* n, size_t n_size, const uint8_t* e, size_t e_size);
  ~RsaPublicKey();
  RsaPublicKey(const RsaPublicKey&) = delete;
  RsaPublicKey& operator=(const RsaPublicKey&) = delete;

  int modulus_bits() const;
  // True when the value opens (PKCS #1 v1.5, block type 1) to exactly the
  // expected bytes.
  bool opens_to(const uint8_t* value, size_t value_length, const uint8_t* expected, size_t expected_length) const;

 private:
  explicit RsaPublicKey(rsa_st* rsa) : rsa_(rsa) {}
  rsa_st* rsa_;
};
