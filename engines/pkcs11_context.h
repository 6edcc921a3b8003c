// The PKCS#11 token engines: one implementation over one context type,
// registered three times (ENGINE_PKCS11, ENGINE_PKCS11_EXT, ENGINE_PKCS11_ID)
// with their own vendor libraries, flags and PIN limits.
#pragma once

#include <p11-kit/pkcs11.h>

#include <cstdarg>
#include <cstdint>
#include <string>

#include "core/engine.h"
#include "platform/dynamic_library.h"

namespace pkcs11 {

// Which of the three engines a context belongs to.
enum class Flavour { kStandard, kExtended, kId };

// Load results, kept in the owner entry's status word.
enum LoadResult : int32_t {
  kLoaded = 0,
  kLibraryMissing = 1,
  kEntryPointMissing = 2,
  kFunctionListFailed = 3,
  kInitializeFailed = 4,
};

// Library flags: any value above 0 re-initialises a library that reports
// itself uninitialised; 4 adds usage attributes to generated keys; any value
// other than 0 leaves CKA_MODIFIABLE off imported public keys.
constexpr int32_t kFlagsUsageAttributes = 4;

// The vendor's extended function list, as C_EX_GetFunctionListExtended
// hands it out: a version, then the vendor functions in their order.
using VendorInitTokenFn = CK_RV (*)(CK_SLOT_ID slot, CK_UTF8CHAR_PTR pin, CK_ULONG pin_length,
                                    void* init_info);
using VendorTokenInfoFn = CK_RV (*)(CK_SLOT_ID slot, void* token_info);
struct VendorFunctionList {
  CK_VERSION version;
  void* get_function_list_extended;
  VendorInitTokenFn init_token;
  VendorTokenInfoFn get_token_info_extended;
};
// Declared with an untyped out pointer, as the vendor's C header has its own type.
using VendorGetFunctionListFn = CK_RV (*)(void** list);

constexpr size_t kPinSize = 64;

struct Context {
  platform::LibraryHandle library = nullptr;
  CK_FUNCTION_LIST_PTR functions = nullptr;  // null while no library is loaded
  char pin[kPinSize] = {};
  int32_t token_index = 0;
  EngineEntry* owner = nullptr;
  // A copy of the file name in use: the caller's text need not outlive the call.
  std::string library_path;
  int32_t pin_limit = 63;  // the PIN keeps at most pin_limit - 1 characters
  int32_t library_flags = 0;
  VendorFunctionList* extended = nullptr;  // ENGINE_PKCS11_EXT, from the loaded library
  bool initialized = false;                // C_Initialize succeeded on the loaded library
  // p11-kit's proxy is still to be tried: it starts every module registered
  // with p11-kit, so it is loaded when the engine is first used, not when it
  // registers (most requests never touch a token).
  bool fallback_pending = false;
  Flavour flavour = Flavour::kStandard;
};

// The label of the token objects of a key: "morva" + serial in decimal.
constexpr char kLabelPrefix[] = "morva";
std::string key_label(uint32_t serial);

// --- library (pkcs11_library.cc)
int32_t load_library(Context& ctx, const char* file_name);
// Loads as above, then requires the vendor extension: missing 2, failing 3.
int32_t load_library_with_extension(Context& ctx, const char* file_name);
void unload_library(Context& ctx);
void seed_token_generator(Context& ctx);

// --- slots and sessions (pkcs11_session.cc)
CK_ULONG token_count(Context& ctx);
// 0 and the slot id, or -1 no tokens, -2 index out of range, -3 no memory,
// -4 slot list unreadable.
int slot_of_token(Context& ctx, int32_t index, CK_SLOT_ID* slot);

// ---- control commands (pkcs11_ctrl.cc, pkcs11_manage.cc)
int ctrl(Context& ctx, int command, va_list args);
int list_keys(Context& ctx, CK_OBJECT_CLASS key_class, KeyHandle* keys, int capacity);
int delete_key(Context& ctx, uint32_t serial);
int read_data(Context& ctx, const char* label, uint8_t* out, int size);
int write_data(Context& ctx, const char* label, const uint8_t* data, int length);
int delete_data(Context& ctx, const char* label);
int token_info_ext(Context& ctx, int* out);
int pin_flag(Context& ctx, CK_FLAGS flag);
int token_flags(Context& ctx, int32_t index, char* serial_out);
int init_token(Context& ctx, int32_t index);

// --- key operations (pkcs11_keys.cc, pkcs11_manage.cc)
int open_secret_key(Context& ctx, const KeyCertRecord* cert, KeyHandle* key);
int open_public_key(Context& ctx, const KeyCertRecord* cert, KeyHandle* key);
int sign_digest(Context& ctx, const uint8_t* digest_info, int length, uint8_t* out, int out_size,
                KeyHandle* key);
int verify_digest(Context& ctx, const uint8_t* signature, int signature_length,
                  const uint8_t* expected, int expected_length, KeyHandle* key);
int public_encrypt(Context& ctx, const uint8_t* in, int length, uint8_t* out, int out_size,
                   KeyHandle* key);
int private_decrypt(Context& ctx, const uint8_t* in, int length, uint8_t* out, int out_size,
                    KeyHandle* key);
int export_public_key(Context& ctx, KeyCertRecord* cert, KeyHandle* key);
int random_bytes(Context& ctx, uint8_t* out, int length);
int generate_keys(Context& ctx, KeyHandle* secret_key, KeyHandle* public_key, int bits);
int import_public_key(Context& ctx, const KeyCertRecord* cert);

// The attribute that holds a key's user ID on this engine's tokens.
inline CK_ATTRIBUTE_TYPE user_id_attribute(const Context& ctx) {
  return ctx.flavour == Flavour::kId ? CKA_ID : CKA_SUBJECT;
}

}  // namespace pkcs11
