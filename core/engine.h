// The engine interface: the table of seven engines through which every key
// operation is routed, and the registration functions of each engine.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "core/core.h"
#include "core/keycert.h"

// Operation slots. An empty slot means "not supported".
using EngineCtrlFn = int (*)(int command, va_list args);
using EngineOpenKeyFn = int (*)(const KeyCertRecord* cert, KeyHandle* key);
using EngineCloseKeyFn = int (*)(KeyHandle* key);
using EngineSignDigestFn = int (*)(const uint8_t* digest_info, int length, uint8_t* out,
                                   int out_size, KeyHandle* key);
using EngineVerifyDigestFn = int (*)(const uint8_t* signature, int signature_length,
                                     const uint8_t* expected, int expected_length, KeyHandle* key);
using EngineExportKeyFn = int (*)(KeyCertRecord* cert, KeyHandle* key);
using EngineImportKeyFn = int (*)(const KeyCertRecord* cert);
using EngineGenerateKeysFn = int (*)(KeyHandle* secret_key, KeyHandle* public_key, int bits);
using EngineRandomBytesFn = int (*)(uint8_t* out, int length);
using EngineCipherFn = int (*)(const uint8_t* in, int length, uint8_t* out, int out_size,
                               KeyHandle* key);

struct EngineEntry {
  int16_t id;
  uint16_t ready;
  int32_t status;
  EngineCtrlFn ctrl;
  EngineOpenKeyFn open_secret_key;
  EngineCloseKeyFn close_secret_key;
  EngineOpenKeyFn open_public_key;
  EngineCloseKeyFn close_public_key;
  EngineSignDigestFn sign_digest;
  EngineVerifyDigestFn verify_digest;
  EngineExportKeyFn export_secret_key;
  EngineExportKeyFn export_public_key;
  EngineImportKeyFn import_secret_key;
  EngineImportKeyFn import_public_key;
  EngineGenerateKeysFn generate_keys;
  EngineRandomBytesFn random_bytes;
  EngineCipherFn public_encrypt;
  EngineCipherFn private_decrypt;
};

// The process-wide table, index = engine id.
extern EngineEntry g_engine_table[ENGINE_COUNT];

// Registration and reset of each engine (called by core_init / core_done).
int builtin_register(EngineEntry* entry);
void builtin_reset(EngineEntry* entry);
int openssl_register(EngineEntry* entry);
void openssl_reset(EngineEntry* entry);
int pkcs11_register(EngineEntry* entry);
void pkcs11_reset(EngineEntry* entry);
int pkcs11_ext_register(EngineEntry* entry);
void pkcs11_ext_reset(EngineEntry* entry);
int pkcs11_id_register(EngineEntry* entry);
void pkcs11_id_reset(EngineEntry* entry);
int capi_register(EngineEntry* entry);
void capi_reset(EngineEntry* entry);

// The checks made before a call is routed: 0, or CORE_E_ENGINE for an id
// outside 0..6, CORE_E_NOT_READY for an engine that is not ready,
// CORE_E_NOT_SUPPORTED for an empty slot.
int core_route_check(int16_t engine_id, const void* slot);

// The table entry of an engine id, or nullptr for an id outside 0..6.
EngineEntry* core_engine(int16_t engine_id);
