// ENGINE_CRYPTOAPI internals shared by its source files: file keys whose RSA
// work the Windows CryptoAPI does. Opening a key imports it into a key
// container made for that one key; closing it deletes the container again.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/engine.h"
#include "core/rsa.h"
#include "platform/crypto_api.h"

constexpr size_t kCapiContainerNameSize = 34;  // with the terminating NUL

// The engine data of a handle of either kind.
struct CapiKey {
  platform::cryptoapi::Handle provider;  // of the key's own container
  platform::cryptoapi::Handle key;
  uint32_t modulus_bytes;  // k
  char container[kCapiContainerNameSize];
};

// "morva-<serial>-<open counter><thread id>", cut to 33 characters: the
// thread id keeps names of different threads apart, the counter successive
// opens of one key.
void capi_container_name(uint32_t serial, unsigned long counter, unsigned long thread_id,
                         char (&name)[kCapiContainerNameSize]);

// The modulus length k in bytes of a record whose bit count CryptoAPI can
// take (1 to 2048), else 0.
size_t capi_modulus_bytes(const KeyCertRecord& cert);

// Key blobs in CryptoAPI's little-endian layout for a record with modulus
// length k: a BLOBHEADER and RSAPUBKEY of 20 bytes, then the numbers.
constexpr size_t capi_public_blob_size(size_t k) { return 20 + k; }
constexpr size_t capi_private_blob_size(size_t k) { return 20 + 4 * k + k / 2; }
// n and e of the record into a PUBLICKEYBLOB of capi_public_blob_size(k) bytes.
void capi_fill_public_blob(const KeyCertRecord& cert, size_t k, uint8_t* blob);
// The whole key into a PRIVATEKEYBLOB of capi_private_blob_size(k) bytes:
// prime 1 is the record's q, prime 2 its p, and the prime exponents are those
// of the private key record (which keeps the primes in that order).
void capi_fill_private_blob(const KeyCertRecord& cert, const RsaPrivateKey& key, size_t k, uint8_t* blob);

// The engine's slots.
int capi_open_secret_key(const KeyCertRecord* cert, KeyHandle* key);
int capi_open_public_key(const KeyCertRecord* cert, KeyHandle* key);
int capi_close_key(KeyHandle* key);
int capi_sign_digest(const uint8_t* digest_info, int length, uint8_t* out, int out_size, KeyHandle* key);
int capi_verify_digest(const uint8_t* signature, int signature_length, const uint8_t* expected,
                       int expected_length, KeyHandle* key);
int capi_public_encrypt(const uint8_t* in, int length, uint8_t* out, int out_size, KeyHandle* key);
int capi_private_decrypt(const uint8_t* in, int length, uint8_t* out, int out_size, KeyHandle* key);
int capi_random_bytes(uint8_t* out, int length);
