// ENGINE_OPENSSL internals shared by its source files: key files with
// OpenSSL's RSA objects. Key generation lives in openssl_generate.cc.
#pragma once

#include <openssl/rsa.h>

#include "core/engine.h"

// Loads OpenSSL's error texts and adds the registration's seed to its
// generator, once after each registration. Every use of the generator comes
// after a key is opened, imported or generated, or random bytes are asked
// for: those entry points call this first.
void openssl_prepare_before_first_use();

// The RSA object of a handle of this engine with the given kind, else null.
RSA* openssl_key(KeyHandle* key, uint16_t kind);

int openssl_open_secret_key(const KeyCertRecord* cert, KeyHandle* key);
int openssl_open_public_key(const KeyCertRecord* cert, KeyHandle* key);
int openssl_close_key(KeyHandle* key);
int openssl_export_secret_key(KeyCertRecord* cert, KeyHandle* key);
int openssl_export_public_key(KeyCertRecord* cert, KeyHandle* key);

int openssl_sign_digest(const uint8_t* digest_info, int length, uint8_t* out, int out_size, KeyHandle* key);
int openssl_verify_digest(const uint8_t* signature, int signature_length, const uint8_t* expected,
                          int expected_length, KeyHandle* key);
int openssl_public_encrypt(const uint8_t* in, int length, uint8_t* out, int out_size, KeyHandle* key);
int openssl_private_decrypt(const uint8_t* in, int length, uint8_t* out, int out_size, KeyHandle* key);

// The PEM control commands.
int openssl_export_pem(KeyHandle* key, const char* passphrase, char* out, int out_size);
int openssl_import_pem(KeyHandle* key, const char* passphrase, const char* pem, int length);

int openssl_generate_keys(KeyHandle* secret_key, KeyHandle* public_key, int bits);
