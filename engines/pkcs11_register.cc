// Registration of the three PKCS#11 engines. Each has its own process-wide
// context; the slots are thin functions bound to that context.
#include "core/crypto.h"
#include "engines/pkcs11_context.h"
#include "engines/pkcs11_module_search.h"

namespace pkcs11 {

namespace {

Context make_context(Flavour flavour, int32_t pin_limit) {
  Context ctx;
  ctx.flavour = flavour;
  ctx.pin_limit = pin_limit;
  return ctx;
}

Context g_standard = make_context(Flavour::kStandard, 63);
Context g_extended = make_context(Flavour::kExtended, 16);
Context g_id = make_context(Flavour::kId, 63);

// The commands that only prepare a load need no library; every other use of
// the engine first finishes a module search left for its first use.
template <Context& C>
int ctrl_slot(int command, va_list args) {
  if (command != CTRL_SET_PIN && command != CTRL_SELECT_TOKEN && command != CTRL_LOAD_LIBRARY)
    load_pending_fallback(C);
  return ctrl(C, command, args);
}
template <Context& C>
int open_secret_slot(const KeyCertRecord* cert, KeyHandle* key) {
  load_pending_fallback(C);
  return open_secret_key(C, cert, key);
}
template <Context& C>
int open_public_slot(const KeyCertRecord* cert, KeyHandle* key) {
  load_pending_fallback(C);
  return open_public_key(C, cert, key);
}
// Token keys hold no engine data: nothing to release.
int close_key_slot(KeyHandle*) { return 0; }
template <Context& C>
int sign_slot(const uint8_t* in, int length, uint8_t* out, int out_size, KeyHandle* key) {
  load_pending_fallback(C);
  return sign_digest(C, in, length, out, out_size, key);
}
template <Context& C>
int verify_slot(const uint8_t* signature, int signature_length, const uint8_t* expected,
                int expected_length, KeyHandle* key) {
  load_pending_fallback(C);
  return verify_digest(C, signature, signature_length, expected, expected_length, key);
}
int export_secret_slot(KeyCertRecord*, KeyHandle*) { return CORE_E_NOT_SUPPORTED; }
template <Context& C>
int export_public_slot(KeyCertRecord* cert, KeyHandle* key) {
  load_pending_fallback(C);
  return export_public_key(C, cert, key);
}
int import_secret_slot(const KeyCertRecord*) { return CORE_E_NOT_SUPPORTED; }
template <Context& C>
int import_public_slot(const KeyCertRecord* cert) {
  load_pending_fallback(C);
  return import_public_key(C, cert);
}
template <Context& C>
int generate_slot(KeyHandle* secret_key, KeyHandle* public_key, int bits) {
  load_pending_fallback(C);
  return generate_keys(C, secret_key, public_key, bits);
}
template <Context& C>
int random_slot(uint8_t* out, int length) {
  load_pending_fallback(C);
  return random_bytes(C, out, length);
}
template <Context& C>
int encrypt_slot(const uint8_t* in, int length, uint8_t* out, int out_size, KeyHandle* key) {
  load_pending_fallback(C);
  return public_encrypt(C, in, length, out, out_size, key);
}
template <Context& C>
int decrypt_slot(const uint8_t* in, int length, uint8_t* out, int out_size, KeyHandle* key) {
  load_pending_fallback(C);
  return private_decrypt(C, in, length, out, out_size, key);
}

template <Context& C>
void fill_slots(EngineEntry* entry) {
  entry->ctrl = ctrl_slot<C>;
  entry->open_secret_key = open_secret_slot<C>;
  entry->close_secret_key = close_key_slot;
  entry->open_public_key = open_public_slot<C>;
  entry->close_public_key = close_key_slot;
  entry->sign_digest = sign_slot<C>;
  entry->verify_digest = verify_slot<C>;
  entry->export_secret_key = export_secret_slot;
  entry->export_public_key = export_public_slot<C>;
  entry->import_secret_key = import_secret_slot;
  entry->import_public_key = import_public_slot<C>;
  entry->generate_keys = generate_slot<C>;
  entry->random_bytes = random_slot<C>;
  entry->public_encrypt = encrypt_slot<C>;
  entry->private_decrypt = decrypt_slot<C>;
}

template <Context& C>
void finish_registration(EngineEntry* entry) {
  fill_slots<C>(entry);
  entry->ready = 1;
  seed_token_generator(C);
}

void clear_entry(Context& ctx, EngineEntry* entry) {
  secure_wipe(ctx.pin, sizeof ctx.pin);
  unload_library(ctx);
  ctx.fallback_pending = false;
  const int16_t id = entry->id;
  const int32_t status = entry->status;
  *entry = EngineEntry{};
  entry->id = id;
  entry->status = status;
  ctx.owner = nullptr;
}

}  // namespace

}  // namespace pkcs11

using pkcs11::Context;

int pkcs11_register(EngineEntry* entry) {
  Context& ctx = pkcs11::g_standard;
  pkcs11::unload_library(ctx);
  ctx.owner = entry;
  if (!ctx.library_path.empty()) {
    // The library last tried before a reset is the only one tried again (and
    // p11-kit's proxy at the first use, when it does not load).
    entry->status = pkcs11::load_library(ctx, ctx.library_path.c_str());
    ctx.fallback_pending = entry->status != pkcs11::kLoaded && !platform::token_proxy_module_names().empty();
  } else {
    entry->status = pkcs11::load_first_module(
        ctx, pkcs11::module_candidates(ENGINE_PKCS11, {{"jcPKCS11-2.dll", 4}, {"etpkcs11.dll", 0}}, 0), 2, true);
  }
  pkcs11::finish_registration<pkcs11::g_standard>(entry);
  return 0;
}

void pkcs11_reset(EngineEntry* entry) { pkcs11::clear_entry(pkcs11::g_standard, entry); }

int pkcs11_ext_register(EngineEntry* entry) {
  Context& ctx = pkcs11::g_extended;
  pkcs11::unload_library(ctx);
  ctx.owner = entry;
  ctx.pin_limit = 16;
  // A recorded path takes the first vendor library's place.
  const std::string first = ctx.library_path.empty() ? "rtPKCS11.dll" : ctx.library_path;
  std::vector<pkcs11::ModuleCandidate> candidates{{first, 1}};
  for (pkcs11::ModuleCandidate& c :
       pkcs11::module_candidates(ENGINE_PKCS11_EXT, {{"rtPKCS11.dll", 1}, {"ktPKCS11ECP.dll", 2}}, 1))
    if (c.path != first) candidates.push_back(std::move(c));
  entry->status = pkcs11::load_first_module(ctx, candidates, 2);
  pkcs11::finish_registration<pkcs11::g_extended>(entry);
  return 0;
}

void pkcs11_ext_reset(EngineEntry* entry) {
  pkcs11::clear_entry(pkcs11::g_extended, entry);
  pkcs11::g_extended.library_path.clear();
}

int pkcs11_id_register(EngineEntry* entry) {
  Context& ctx = pkcs11::g_id;
  pkcs11::unload_library(ctx);
  ctx.owner = entry;
  const std::string first = ctx.library_path.empty() ? "isbc_pkcs11_main.dll" : ctx.library_path;
  std::vector<pkcs11::ModuleCandidate> candidates{{first, 0}};
  for (pkcs11::ModuleCandidate& c :
       pkcs11::module_candidates(ENGINE_PKCS11_ID, {{"isbc_pkcs11_main.dll", 0}}, 0))
    if (c.path != first) candidates.push_back(std::move(c));
  entry->status = pkcs11::load_first_module(ctx, candidates, 1);
  pkcs11::finish_registration<pkcs11::g_id>(entry);
  return 0;
}

void pkcs11_id_reset(EngineEntry* entry) {
  pkcs11::clear_entry(pkcs11::g_id, entry);
  pkcs11::g_id.library_path.clear();
}
