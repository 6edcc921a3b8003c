// Control commands of the PKCS#11 engines: PIN, library, tokens and listings.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include <string>

#include "core/crypto.h"
#include "engines/pkcs11_context.h"
#include "engines/pkcs11_session.h"
#include "platform/codepage.h"

namespace pkcs11 {

namespace {

int set_pin(Context& ctx, const char* text) {
  secure_wipe(ctx.pin, sizeof ctx.pin);
  if (text == nullptr || *text == '\0') return 0;
  // The ID engine's tokens keep their PINs in the system's ANSI code page.
  std::string ansi;
  if (ctx.flavour == Flavour::kId) {
    ansi = platform::convert_code_page(text, platform::kCodePageUtf8, platform::ansi_code_page())
               .value_or(std::string());
    text = ansi.c_str();
  }
  const size_t keep = std::min(std::strlen(text), static_cast<size_t>(ctx.pin_limit - 1));
  std::memcpy(ctx.pin, text, keep);
  secure_wipe(ansi.data(), ansi.size());
  return 0;
}

int load_library_command(Context& ctx, const char* path) {
  if (path == nullptr || *path == '\0') return -1;
  ctx.library_path = path;
  ctx.fallback_pending = false;
  unload_library(ctx);
  int32_t result = load_library(ctx, ctx.library_path.c_str());
  // The extended list must come from the library now loaded, never an old one.
  if (result == kLoaded && ctx.flavour == Flavour::kExtended) {
    auto get_extended = reinterpret_cast<VendorGetFunctionListFn>(
        platform::library_symbol(ctx.library, "C_EX_GetFunctionListExtended"));
    VendorFunctionList* extended = nullptr;
    if (get_extended != nullptr && get_extended(reinterpret_cast<void**>(&extended)) == CKR_OK)
      ctx.extended = extended;
  }
  if (result == kLoaded) seed_token_generator(ctx);
  if (ctx.owner != nullptr) ctx.owner->status = result;
  return 0;
}

// Drops trailing blanks and tabs of a fixed-size, blank-padded token field.
std::string trimmed_field(const CK_UTF8CHAR* field, size_t size) {
  size_t length = size;
  while (length > 0 && (field[length - 1] == ' ' || field[length - 1] == '\t')) --length;
  return std::string(reinterpret_cast<const char*>(field), length);
}

}  // namespace

int token_flags(Context& ctx, int32_t index, char* serial_out) {
  CK_SLOT_ID slot = 0;
  if (slot_of_token(ctx, index, &slot) != 0) return -1;
  CK_TOKEN_INFO info;
  if (ctx.functions->C_GetTokenInfo(slot, &info) != CKR_OK) return -2;
  if (serial_out != nullptr) {
    const std::string serial = trimmed_field(info.serialNumber, sizeof info.serialNumber);
    std::memcpy(serial_out, serial.c_str(), serial.size() + 1);
  }
  return static_cast<int>(info.flags & 0x7fffffff);
}

namespace {

int token_info(Context& ctx, int32_t index, TokenInfo* out) {
  CK_SLOT_ID slot = 0;
  if (out == nullptr) return CORE_E_ARGS;
  if (slot_of_token(ctx, index, &slot) != 0) return -1;
  CK_TOKEN_INFO info;
  if (ctx.functions->C_GetTokenInfo(slot, &info) != CKR_OK) return -2;
  const auto copy = [](char* to, const CK_UTF8CHAR* field, size_t size) {
    const std::string text = trimmed_field(field, size);
    std::memcpy(to, text.c_str(), text.size() + 1);
  };
  static_assert(sizeof out->label > sizeof info.label && sizeof out->manufacturer > sizeof info.manufacturerID &&
                sizeof out->model > sizeof info.model && sizeof out->serial > sizeof info.serialNumber);
  copy(out->label, info.label, sizeof info.label);
  copy(out->manufacturer, info.manufacturerID, sizeof info.manufacturerID);
  copy(out->model, info.model, sizeof info.model);
  copy(out->serial, info.serialNumber, sizeof info.serialNumber);
  out->flags = static_cast<int32_t>(info.flags & 0x7fffffff);
  return 0;
}

int token_name(Context& ctx, int32_t index, char* out, int size) {
  CK_SLOT_ID slot = 0;
  if (slot_of_token(ctx, index, &slot) != 0) return -1;
  CK_TOKEN_INFO info;
  if (ctx.functions->C_GetTokenInfo(slot, &info) != CKR_OK) return -2;
  const std::string model = trimmed_field(info.model, sizeof info.model);
  const std::string label = trimmed_field(info.label, sizeof info.label);
  if (out == nullptr || size <= 0) return 0;
  const int full = std::snprintf(out, static_cast<size_t>(size), "%s\\%s", model.c_str(),
                                 label.c_str());
  // Like snprintf, at most size - 1 characters are written.
  return full < 0 ? 0 : std::min(full, size - 1);
}

bool has_label_prefix(const char* label) {
  return std::strncmp(label, kLabelPrefix, sizeof kLabelPrefix - 1) == 0;
}

// The decimal serial after the label prefix; any other character makes it 0.
uint32_t serial_of_label(const char* label) {
  uint32_t serial = 0;
  for (const char* p = label + sizeof kLabelPrefix - 1; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return 0;
    serial = serial * 10 + static_cast<uint32_t>(*p - '0');
  }
  return serial;
}

}  // namespace

int list_keys(Context& ctx, CK_OBJECT_CLASS key_class, KeyHandle* keys, int capacity) {
  Session session(ctx);
  if (const int rc = session.open_logged_in(); rc != 0) return rc;
  if (keys == nullptr || capacity <= 0) return 0;
  const CK_KEY_TYPE key_type = CKK_RSA;
  const CK_BBOOL on_token = CK_TRUE;
  CK_ATTRIBUTE templ[] = {
      attribute_of(CKA_CLASS, key_class),
      attribute_of(CKA_KEY_TYPE, key_type),
      attribute_of(CKA_TOKEN, on_token),
  };
  CK_FUNCTION_LIST_PTR fn = session.f();
  if (fn->C_FindObjectsInit(session.handle(), templ, 3) != CKR_OK) return 0;
  int filled = 0;
  while (filled < capacity) {
    CK_OBJECT_HANDLE object = CK_INVALID_HANDLE;
    CK_ULONG found = 0;
    if (fn->C_FindObjects(session.handle(), &object, 1, &found) != CKR_OK || found == 0) break;
    char user_id[64];
    char label[64];
    CK_ATTRIBUTE attrs[] = {
        attribute(user_id_attribute(ctx), user_id, sizeof user_id),
        attribute(CKA_LABEL, label, sizeof label),
    };
    if (fn->C_GetAttributeValue(session.handle(), object, attrs, 2) != CKR_OK ||
        attrs[0].ulValueLen >= sizeof user_id || attrs[1].ulValueLen >= sizeof label)
      continue;
    user_id[attrs[0].ulValueLen] = '\0';
    label[attrs[1].ulValueLen] = '\0';
    if (!has_label_prefix(label)) continue;
    KeyHandle& entry = keys[filled++];
    entry.serial = serial_of_label(label);
    std::memset(entry.user_id, 0, sizeof entry.user_id);
    std::memcpy(entry.user_id, user_id, std::min(std::strlen(user_id), sizeof entry.user_id - 1));
  }
  fn->C_FindObjectsFinal(session.handle());
  return filled;
}

int ctrl(Context& ctx, int command, va_list args) {
  switch (command) {
    case CTRL_SET_PIN:
    case CTRL_LOAD_LIBRARY:
    case CTRL_SELECT_TOKEN:
    case CTRL_TOKEN_COUNT:
    case CTRL_TOKEN_NAME:
    case CTRL_LIST_SECRET_KEYS:
    case CTRL_LIST_PUBLIC_KEYS:
    case CTRL_DELETE_KEY:
    case CTRL_READ_DATA:
    case CTRL_WRITE_DATA:
    case CTRL_DELETE_DATA:
    case CTRL_PIN_FINAL_TRY:
    case CTRL_PIN_LOCKED:
    case CTRL_TOKEN_FLAGS:
    case CTRL_TOKEN_INFO:
      break;
    case CTRL_TOKEN_INFO_EXT:
      if (ctx.flavour == Flavour::kId) return CORE_E_NOT_SUPPORTED;
      break;
    case CTRL_INIT_TOKEN:
      if (ctx.flavour != Flavour::kExtended) return CORE_E_NOT_SUPPORTED;
      break;
    default:
      return CORE_E_NOT_SUPPORTED;
  }
  // Without a library only the commands that prepare the next load work
  // (none of them on the ID engine).
  if (ctx.functions == nullptr &&
      (ctx.flavour == Flavour::kId ||
       (command != CTRL_SET_PIN && command != CTRL_LOAD_LIBRARY && command != CTRL_SELECT_TOKEN)))
    return CORE_E_NOT_READY;

  switch (command) {
    case CTRL_SET_PIN:
      return set_pin(ctx, va_arg(args, const char*));
    case CTRL_LOAD_LIBRARY:
      return load_library_command(ctx, va_arg(args, const char*));
    case CTRL_TOKEN_COUNT:
      return static_cast<int>(token_count(ctx));
    case CTRL_TOKEN_NAME: {
      const int index = va_arg(args, int);
      char* out = va_arg(args, char*);
      const int size = va_arg(args, int);
      return token_name(ctx, index, out, size);
    }
    case CTRL_SELECT_TOKEN: {
      const int index = va_arg(args, int);
      if (index < 0) return -1;
      ctx.token_index = index;
      return 0;
    }
    case CTRL_LIST_SECRET_KEYS:
    case CTRL_LIST_PUBLIC_KEYS: {
      KeyHandle* keys = va_arg(args, KeyHandle*);
      const int capacity = va_arg(args, int);
      return list_keys(ctx, command == CTRL_LIST_SECRET_KEYS ? CKO_PRIVATE_KEY : CKO_PUBLIC_KEY,
                       keys, capacity);
    }
    case CTRL_DELETE_KEY:
      return delete_key(ctx, va_arg(args, uint32_t));
    case CTRL_READ_DATA: {
      const char* label = va_arg(args, const char*);
      uint8_t* out = va_arg(args, uint8_t*);
      const int size = va_arg(args, int);
      return read_data(ctx, label, out, size);
    }
    case CTRL_WRITE_DATA: {
      const char* label = va_arg(args, const char*);
      const uint8_t* data = va_arg(args, const uint8_t*);
      const int length = va_arg(args, int);
      return write_data(ctx, label, data, length);
    }
    case CTRL_DELETE_DATA:
      return delete_data(ctx, va_arg(args, const char*));
    case CTRL_TOKEN_INFO_EXT:
      return token_info_ext(ctx, va_arg(args, int*));
    case CTRL_PIN_FINAL_TRY:
      return pin_flag(ctx, CKF_USER_PIN_FINAL_TRY);
    case CTRL_PIN_LOCKED:
      return pin_flag(ctx, CKF_USER_PIN_LOCKED);
    case CTRL_INIT_TOKEN:
      return init_token(ctx, va_arg(args, int));
    case CTRL_TOKEN_FLAGS: {
      const int index = va_arg(args, int);
      return token_flags(ctx, index, va_arg(args, char*));
    }
    case CTRL_TOKEN_INFO: {
      const int index = va_arg(args, int);
      return token_info(ctx, index, va_arg(args, TokenInfo*));
    }
    default:
      return CORE_E_NOT_SUPPORTED;
  }
}

}  // namespace pkcs11
