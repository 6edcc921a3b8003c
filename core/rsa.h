// RSA key records, PKCS #1 v1.5 block type 1 signatures and the private-key
// operation in its Chinese-remainder form, as the builtin engine uses them.
//
// Numbers in the records are unsigned, big-endian and right-aligned in their
// fixed-size fields with leading zero bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/bignum.h"

constexpr size_t kRsaMaxModulusBytes = 256;  // 2048 bits
constexpr size_t kRsaMaxPrimeBytes = 128;    // 1024 bits
constexpr uint32_t kRsaMaxModulusBits = 2048;

// Results of this layer (the builtin engine maps them to core codes).
constexpr int RSA_ERR_DATA_RANGE = 1025;  // the input is not below the modulus
constexpr int RSA_ERR_DATA_LEN = 1030;    // the input is too long for the modulus

struct RsaPublicKey {
  uint32_t bits;
  uint8_t modulus[kRsaMaxModulusBytes];
  uint8_t exponent[kRsaMaxModulusBytes];
};

struct RsaPrivateKey {
  uint32_t bits;
  uint8_t modulus[kRsaMaxModulusBytes];
  uint8_t public_exponent[kRsaMaxModulusBytes];
  uint8_t exponent[kRsaMaxModulusBytes];
  uint8_t prime[2][kRsaMaxPrimeBytes];           // prime[0] is the larger prime p, prime[1] is q
  uint8_t prime_exponent[2][kRsaMaxPrimeBytes];  // d mod (p - 1), d mod (q - 1)
  uint8_t coefficient[kRsaMaxPrimeBytes];        // q^-1 mod p
};

// The modulus length in bytes, k.
constexpr size_t rsa_modulus_bytes(uint32_t bits) { return (static_cast<size_t>(bits) + 7) / 8; }

// The numbers of a private key decoded once, with Montgomery forms of both
// primes, so that a key kept open signs without decoding it again.
class RsaCrtContext {
 public:
  // Decodes the key; false when it cannot be used for the private operation
  // (a zero modulus or one longer than the bit count, a prime below 3 or an
  // even prime, or no memory).
  bool init(const RsaPrivateKey& key);

 private:
  friend int rsa_private_block(const uint8_t*, size_t, const RsaPrivateKey&, const RsaCrtContext&,
                               uint8_t*);
  BigNum n_, p_, q_, dp_, dq_, coefficient_;
  MontContext mont_p_, mont_q_;
  bool ready_ = false;
};

// PKCS #1 v1.5 block type 1 over the input (a DigestInfo), then the private
// operation: 0 and k bytes in out, or RSA_ERR_DATA_LEN when length + 11 > k,
// or RSA_ERR_DATA_RANGE.
int rsa_sign_pkcs1(const uint8_t* in, size_t length, const RsaPrivateKey& key, uint8_t* out);
int rsa_sign_pkcs1(const uint8_t* in, size_t length, const RsaPrivateKey& key,
                   const RsaCrtContext& crt, uint8_t* out);

// m = c^d mod n in the Chinese-remainder form: 0 and k bytes in out, or
// RSA_ERR_DATA_RANGE when the input is not below the modulus (or the key
// cannot be used).
int rsa_private_block(const uint8_t* in, size_t length, const RsaPrivateKey& key, uint8_t* out);
int rsa_private_block(const uint8_t* in, size_t length, const RsaPrivateKey& key,
                      const RsaCrtContext& crt, uint8_t* out);

// m = c^e mod n: 0 and k bytes in out, or RSA_ERR_DATA_RANGE.
int rsa_public_block(const uint8_t* in, size_t length, const RsaPublicKey& key, uint8_t* out);

// 0 when the modulus equals prime 1 x prime 2, else -1.
int rsa_check_private_key(const RsaPrivateKey& key);

// Fills both prime exponents from the private exponent and the primes:
// 0, or -1 when a prime is below 2 or memory fails.
int rsa_compute_prime_exponents(RsaPrivateKey& key);
