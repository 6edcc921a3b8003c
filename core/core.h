// The signature core: one public header for everything the signer calls.
//
// Every entry point returns an integer: a byte count or 0 on success, a
// negative CORE_E_* code on failure. Nothing throws across these functions.
// Output buffers belong to the caller; an input length of -1 means the input
// is NUL-terminated.
#pragma once

#include <cstdint>


// Engine ids: the index of an engine in the engine table.
enum : int16_t {
  ENGINE_BUILTIN = 0,
  ENGINE_OPENSSL = 1,
  ENGINE_PKCS11 = 2,
  ENGINE_CRYPTOAPI = 3,
  ENGINE_PKCS11_EXT = 5,
  ENGINE_PKCS11_ID = 6,
};
constexpr int ENGINE_COUNT = 7;

// Key handle kinds.
enum : uint16_t { KEY_KIND_EMPTY = 0, KEY_KIND_SECRET = 1, KEY_KIND_PUBLIC = 2 };

// The caller-owned record of one open key; all zero means empty.
struct KeyHandle {
  int16_t engine_id;
  uint16_t kind;
  uint32_t serial;
  char user_id[24];
  void* engine_data;       // owned by the engine that opened the key
  uint32_t creation_time;  // seconds since 1970-01-01 UTC, 0 = unknown
};

enum CoreError : int {
  CORE_E_ARGS = -1,
  CORE_E_NOMEM = -2,
  CORE_E_FORMAT = -3,
  CORE_E_NODATA = -4,
  CORE_E_PACKET = -5,
  CORE_E_ALG = -6,
  CORE_E_KEYLEN = -7,
  CORE_E_PASSPHRASE = -8,
  CORE_E_DOCTYPE = -9,
  CORE_E_ARMOR_DECODE = -10,
  CORE_E_ARMOR_ENCODE = -11,
  CORE_E_ENGINE = -12,
  CORE_E_NOT_READY = -13,
  CORE_E_NOT_SUPPORTED = -14,
  CORE_E_FILE_NOT_FOUND = -15,
  CORE_E_READ_FILE = -16,
  CORE_E_INVALID_KEY = -17,
  CORE_E_SIGN = -18,
  CORE_E_NO_PUBLIC_KEY = -19,
  CORE_E_VERIFY = -20,
  CORE_E_CREATE_FILE = -21,
  CORE_E_WRITE_FILE = -22,
  CORE_E_KEYCARD = -23,
  CORE_E_GENKEY = -24,
  CORE_E_ENCRYPT = -25,
  CORE_E_DECRYPT = -26,
  CORE_E_SENDER = -27,
};

// Engine control commands (core_ctrl answers 0 and 1 itself).
enum CtrlCommand : int {
  CTRL_READY = 0,
  CTRL_LOAD_STATUS = 1,
  CTRL_SET_PIN = 2,             // const char* pin
  CTRL_LOAD_LIBRARY = 3,        // const char* path
  CTRL_TOKEN_COUNT = 4,         // -
  CTRL_TOKEN_NAME = 5,          // int index, char* out, int size
  CTRL_SELECT_TOKEN = 6,        // int index
  CTRL_LIST_SECRET_KEYS = 7,    // KeyHandle* array, int capacity
  CTRL_LIST_PUBLIC_KEYS = 8,    // KeyHandle* array, int capacity
  CTRL_EXPORT_PEM = 9,          // KeyHandle*, const char* pass, char* out, int size
  CTRL_IMPORT_PEM = 10,         // KeyHandle*, const char* pass, const char* pem, int len
  CTRL_KEY_BITS = 11,           // KeyHandle*
  CTRL_DELETE_KEY = 13,         // uint32_t serial
  CTRL_INIT_TOKEN = 14,         // int index
  CTRL_READ_DATA = 15,          // const char* label, uint8_t* out, int size
  CTRL_WRITE_DATA = 16,         // const char* label, const uint8_t* data, int len
  CTRL_DELETE_DATA = 17,        // const char* label
  CTRL_TOKEN_INFO_EXT = 18,     // int* out
  CTRL_PIN_FINAL_TRY = 19,      // -
  CTRL_PIN_LOCKED = 20,         // -
  // The PKCS#11 token flags (CKF_*) of token `index`, and its serial number
  // (16 characters, blanks removed) into out when out is not null: the flags
  // (not negative), or -1 no such token, -2 token information unreadable.
  CTRL_TOKEN_FLAGS = 21,        // int index, char* out (17 bytes)
  // What token `index` says of itself into a TokenInfo: 0, or -1 no such
  // token, -2 token information unreadable.
  CTRL_TOKEN_INFO = 22,         // int index, TokenInfo* out
};

// A token's own description (CTRL_TOKEN_INFO), its blank padding removed.
struct TokenInfo {
  char label[33];
  char manufacturer[33];
  char model[17];
  char serial[17];
  int32_t flags;  // the PKCS#11 token flags (CKF_*), as CTRL_TOKEN_FLAGS gives them
};

// Token flags of CTRL_TOKEN_FLAGS that the dialogs look at (the PKCS#11 values).
enum TokenFlag : int {
  TOKEN_WRITE_PROTECTED = 0x00000002,
  TOKEN_PIN_PAD = 0x00000100,  // CKF_PROTECTED_AUTHENTICATION_PATH
  TOKEN_INITIALIZED = 0x00000400,
  TOKEN_PIN_COUNT_LOW = 0x00010000,
  TOKEN_PIN_FINAL_TRY = 0x00020000,
  TOKEN_PIN_LOCKED = 0x00040000,
};

// Core session.
int core_init();
int core_done();
int core_ctrl(int16_t engine_id, int command, ...);
int core_open_secret_key_by_serial(int16_t engine_id, uint32_t serial, KeyHandle* key);
int core_open_public_key_by_serial(int16_t engine_id, uint32_t serial, KeyHandle* key);
int core_close_key(KeyHandle* key);

// Signing. core_sign_document writes the "SM" document of a text (length < 0:
// NUL-terminated) into out and returns its length; core_sign_detached writes
// only the armored signature and returns its length, or 0 when out is absent.
int core_sign_document(const char* text, int length, char* out, int capacity, KeyHandle* key);
int core_sign_detached(const char* data, int length, char* out, int capacity, KeyHandle* key);
// The source of a stream: fills buffer with up to capacity bytes and returns
// how many, 0 at the end of the stream, or a negative CORE_E_* code.
using CoreReadFn = int (*)(void* context, char* buffer, int capacity);
// core_sign_detached for data of any length, read piece by piece from read
// (called with context) into one fixed buffer. A negative code from read ends
// the signing with that code.
int core_sign_detached_stream(CoreReadFn read, void* context, char* out, int capacity, KeyHandle* key);

// Key files (secret key documents, key cards, public key cards).
// Opens the secret key of an "NM" document (length < 0: NUL-terminated) with
// the passphrase; the handle is empty after any failure.
int core_open_secret_key(int16_t engine_id, const char* text, int length, const char* passphrase,
                         KeyHandle* key);
// Checks a key card and has the engine generate a key pair of the given
// modulus size into both handles.
int core_generate_keys(int16_t engine_id, const char* key_card, int length, KeyHandle* secret_key,
                       KeyHandle* public_key, int bits);
// The "NM" document of a secret key, protected by the passphrase when it is
// not empty: its length, or an error code.
int core_export_secret_key(char* out, int capacity, const char* passphrase, KeyHandle* secret_key);
// Writes the "NM" document and a line break to the file, replacing it only
// once the whole document is ready: the bytes written, or an error code.
int core_save_secret_key(const char* path, const char* passphrase, KeyHandle* secret_key);
// The public key card ("NS" document) of a public key, certified by the secret
// key when one is given: its length, or an error code.
int core_export_public_card(char* out, int capacity, KeyHandle* public_key, KeyHandle* certifying_key);
// Adds the card to a card collection file, replacing a card with the same
// serial: the bytes written, or an error code.
int core_store_public_card(const char* path, KeyHandle* public_key, KeyHandle* certifying_key);

// The string id of the user message for a core code: 0 for code 0, the
// table's id for a known code, and the id of "Key loading error" otherwise.
int core_error_string_id(int code);

