// ENGINE_BUILTIN internals shared by its source files: key files with the
// core's own RSA code. Key generation lives in builtin_generate.cc.
#pragma once

#include "core/engine.h"
#include "core/random_pool.h"
#include "core/rsa.h"

// The engine data of a secret-key handle. The key record comes first, so the
// bit count is the first 32-bit field of the engine data for either kind.
struct BuiltinSecretKey {
  RsaPrivateKey record;
  RsaCrtContext crt;  // the record's numbers decoded once, kept with the open key
};

// The engine's process-wide random pool, seeded at registration.
RandomPool* builtin_random_pool();

// Attach a complete private key (all fields filled) to a handle as its
// engine data: 0, CORE_E_NOMEM, or CORE_E_INVALID_KEY when the key cannot be
// used. Nothing is attached on failure.
int builtin_attach_secret_key(KeyHandle* key, const RsaPrivateKey& record);
// Attach a public key to a handle: 0 or CORE_E_NOMEM.
int builtin_attach_public_key(KeyHandle* key, const RsaPublicKey& record);

// The engine's slots, one group per source file.
int builtin_open_secret_key(const KeyCertRecord* cert, KeyHandle* key);
int builtin_open_public_key(const KeyCertRecord* cert, KeyHandle* key);
int builtin_close_secret_key(KeyHandle* key);
int builtin_close_public_key(KeyHandle* key);
int builtin_export_secret_key(KeyCertRecord* cert, KeyHandle* key);
int builtin_export_public_key(KeyCertRecord* cert, KeyHandle* key);

int builtin_sign_digest(const uint8_t* digest_info, int length, uint8_t* out, int out_size, KeyHandle* key);
int builtin_verify_digest(const uint8_t* signature, int signature_length, const uint8_t* expected,
                          int expected_length, KeyHandle* key);
int builtin_public_encrypt(const uint8_t* in, int length, uint8_t* out, int out_size, KeyHandle* key);
int builtin_private_decrypt(const uint8_t* in, int length, uint8_t* out, int out_size, KeyHandle* key);

int builtin_generate_keys(KeyHandle* secret_key, KeyHandle* public_key, int bits);

// The secret key of a handle when it is a kind 1 handle with engine data, else null.
BuiltinSecretKey* builtin_secret_key(KeyHandle* key);
// The public key of a handle when it is a kind 2 handle with engine data, else null.
RsaPublicKey* builtin_public_key(KeyHandle* key);
