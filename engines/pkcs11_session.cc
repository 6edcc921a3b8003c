// Tokens, slots and sessions of the PKCS#11 engines. Nothing is cached: every
// operation looks its slot up again by the selected token index.
#include "engines/pkcs11_session.h"

#include <cstdio>
#include <new>

namespace pkcs11 {

std::string key_label(uint32_t serial) {
  char label[64];
  std::snprintf(label, sizeof label, "%s%lu", kLabelPrefix, static_cast<unsigned long>(serial));
  return label;
}

CK_ULONG token_count(Context& ctx) {
  if (ctx.functions == nullptr) return 0;
  CK_ULONG count = 0;
  // Some vendor libraries forget their initialisation; those flagged get it back.
  if (ctx.library_flags > 0 &&
      ctx.functions->C_GetSlotList(CK_TRUE, nullptr, &count) == CKR_CRYPTOKI_NOT_INITIALIZED) {
    if (ctx.functions->C_Initialize(nullptr) == CKR_OK) ctx.initialized = true;
  }
  count = 0;
  if (ctx.functions->C_GetSlotList(CK_TRUE, nullptr, &count) != CKR_OK) return 0;
  return count;
}

int slot_of_token(Context& ctx, int32_t index, CK_SLOT_ID* slot) {
  const CK_ULONG count = token_count(ctx);
  if (count == 0) return -1;
  if (index < 0 || static_cast<CK_ULONG>(index) >= count) return -2;
  std::vector<CK_SLOT_ID> slots;
  try {
    slots.resize(count);
  } catch (const std::bad_alloc&) {
    return -3;
  }
  CK_ULONG filled = count;
  if (ctx.functions->C_GetSlotList(CK_TRUE, slots.data(), &filled) != CKR_OK) return -4;
  // A token removed between the two calls leaves the index unnamed.
  if (static_cast<CK_ULONG>(index) >= filled) return -2;
  *slot = slots[static_cast<size_t>(index)];
  return 0;
}

Session::Session(Context& ctx) : ctx_(ctx) {}

Session::~Session() {
  if (!open_) return;
  if (logged_in_) ctx_.functions->C_Logout(handle_);
  ctx_.functions->C_CloseSession(handle_);
}

int Session::open() {
  if (ctx_.functions == nullptr) return CORE_E_NOT_READY;
  CK_SLOT_ID slot = 0;
  if (slot_of_token(ctx_, ctx_.token_index, &slot) != 0) return CORE_E_NOT_READY;
  return open_on_slot(slot);
}

int Session::open_on_slot(CK_SLOT_ID slot) {
  if (ctx_.functions == nullptr || open_) return CORE_E_NOT_READY;
  if (ctx_.functions->C_OpenSession(slot, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr,
                                    &handle_) != CKR_OK)
    return CORE_E_NOT_READY;
  open_ = true;
  return 0;
}

bool Session::has_pin_pad() {
  CK_SESSION_INFO session{};
  CK_TOKEN_INFO token{};
  return ctx_.functions->C_GetSessionInfo(handle_, &session) == CKR_OK &&
         ctx_.functions->C_GetTokenInfo(session.slotID, &token) == CKR_OK &&
         (token.flags & CKF_PROTECTED_AUTHENTICATION_PATH) != 0;
}

int Session::login() {
  const CK_ULONG length = std::char_traits<char>::length(ctx_.pin);
  // With no PIN given, a reader with its own PIN pad asks the user itself.
  const bool pin_pad = length == 0 && has_pin_pad();
  const CK_RV rv = ctx_.functions->C_Login(
      handle_, CKU_USER, pin_pad ? nullptr : reinterpret_cast<CK_UTF8CHAR_PTR>(ctx_.pin), length);
  if (rv != CKR_OK) return CORE_E_PASSPHRASE;
  logged_in_ = true;
  return 0;
}

CK_OBJECT_HANDLE Session::find_one(CK_ATTRIBUTE* templ, CK_ULONG count) {
  CK_FUNCTION_LIST_PTR fn = f();
  if (fn->C_FindObjectsInit(handle_, templ, count) != CKR_OK) return CK_INVALID_HANDLE;
  CK_OBJECT_HANDLE object = CK_INVALID_HANDLE;
  CK_ULONG found = 0;
  const CK_RV rv = fn->C_FindObjects(handle_, &object, 1, &found);
  fn->C_FindObjectsFinal(handle_);
  return rv == CKR_OK && found == 1 ? object : CK_INVALID_HANDLE;
}

CK_OBJECT_HANDLE Session::find_key(uint32_t serial, CK_OBJECT_CLASS key_class) {
  const std::string label = key_label(serial);
  const CK_KEY_TYPE key_type = CKK_RSA;
  const CK_BBOOL on_token = CK_TRUE;
  CK_ATTRIBUTE templ[] = {
      attribute_of(CKA_CLASS, key_class),
      attribute_of(CKA_KEY_TYPE, key_type),
      attribute_of(CKA_TOKEN, on_token),
      attribute(CKA_LABEL, label.data(), label.size()),
  };
  return find_one(templ, 4);
}

int Session::delete_all_with_label(const std::string& label) {
  CK_ATTRIBUTE templ[] = {attribute(CKA_LABEL, label.data(), label.size())};
  CK_FUNCTION_LIST_PTR fn = f();
  for (;;) {
    if (fn->C_FindObjectsInit(handle_, templ, 1) != CKR_OK) return 0;
    CK_OBJECT_HANDLE object = CK_INVALID_HANDLE;
    CK_ULONG found = 0;
    const CK_RV rv = fn->C_FindObjects(handle_, &object, 1, &found);
    if (rv != CKR_OK) {
      fn->C_FindObjectsFinal(handle_);
      return 0;
    }
    if (fn->C_FindObjectsFinal(handle_) != CKR_OK || found == 0) return 0;
    if (fn->C_DestroyObject(handle_, object) != CKR_OK) return -1;
  }
}

}  // namespace pkcs11
