// Token management of the PKCS#11 engines: key pairs generated on the token,
// public key import, deletion, data objects and token status.
#include <cstring>
#include <vector>

#include "engines/pkcs11_context.h"
#include "engines/pkcs11_session.h"

namespace pkcs11 {

namespace {

const CK_BBOOL kTrue = CK_TRUE;
const CK_BBOOL kFalse = CK_FALSE;
const CK_OBJECT_CLASS kPublicKeyClass = CKO_PUBLIC_KEY;
const CK_OBJECT_CLASS kPrivateKeyClass = CKO_PRIVATE_KEY;
const CK_OBJECT_CLASS kDataClass = CKO_DATA;
const CK_KEY_TYPE kRsa = CKK_RSA;
const CK_BYTE kPublicExponent[] = {0x01, 0x00, 0x01};
constexpr char kDataApplication[] = "velixPG";

// Vendor status object of ENGINE_PKCS11 tokens and its two values.
constexpr CK_HW_FEATURE_TYPE kVendorStatusFeature = 0x80005002;
constexpr CK_ATTRIBUTE_TYPE kVendorValueReturned = 0x80001110;
constexpr CK_ATTRIBUTE_TYPE kVendorValueOut = 0x80001112;

// The vendor's token information of ENGINE_PKCS11_EXT: 152 bytes read as
// 32-bit words at fixed byte offsets.
constexpr size_t kVendorInfoSize = 152;
struct VendorTokenInfo {
  uint8_t bytes[kVendorInfoSize];
  uint32_t word(size_t offset) const {
    uint32_t value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
  }
};

// The vendor's token initialisation record: thirteen words, each a CK_ULONG
// or a pointer, so it has the platform's PKCS#11 layout (52 bytes where
// CK_ULONG and pointers are 32 bits wide).
struct VendorInitInfo {
  CK_ULONG size;
  CK_ULONG version;
  CK_UTF8CHAR_PTR so_pin;
  CK_ULONG so_pin_length;
  CK_UTF8CHAR_PTR user_pin;
  CK_ULONG user_pin_length;
  CK_ULONG mode;
  CK_ULONG min_so_pin_length;
  CK_ULONG min_user_pin_length;
  CK_ULONG max_so_pin_tries;
  CK_ULONG max_user_pin_tries;
  CK_UTF8CHAR_PTR label;
  CK_ULONG label_length;
};
constexpr char kInitLabel[] = "velix";

const CK_BYTE* strip_leading_zeros(const CK_BYTE* value, size_t size, CK_ULONG* length) {
  while (size > 0 && *value == 0) ++value, --size;
  *length = size;
  return value;
}

CK_OBJECT_HANDLE find_data_object(Session& session, const char* label) {
  CK_ATTRIBUTE templ[] = {
      attribute_of(CKA_CLASS, kDataClass),
      attribute(CKA_LABEL, label, std::strlen(label)),
  };
  return session.find_one(templ, 2);
}

// Reads the vendor token information of a slot: 0 or -1.
int read_vendor_info(Context& ctx, CK_SLOT_ID slot, VendorTokenInfo* info) {
  std::memset(info, 0, sizeof *info);
  const uint32_t size = kVendorInfoSize;
  std::memcpy(info->bytes, &size, sizeof size);
  if (ctx.extended == nullptr || ctx.extended->get_token_info_extended == nullptr) return -1;
  return ctx.extended->get_token_info_extended(slot, info->bytes) == CKR_OK ? 0 : -1;
}

}  // namespace

int generate_keys(Context& ctx, KeyHandle* secret_key, KeyHandle* /*public_key*/, int bits) {
  if (bits != 1024 && bits != 2048) return CORE_E_KEYLEN;
  if (ctx.functions == nullptr) return CORE_E_NOT_READY;
  if (secret_key == nullptr) return CORE_E_ARGS;
  const std::string label = key_label(secret_key->serial);
  const size_t user_id_length = strnlen(secret_key->user_id, sizeof secret_key->user_id);
  const CK_ULONG modulus_bits = static_cast<CK_ULONG>(bits);
  std::vector<CK_ATTRIBUTE> public_templ;
  std::vector<CK_ATTRIBUTE> private_templ;
  const CK_ATTRIBUTE label_attr = attribute(CKA_LABEL, label.data(), label.size());
  const CK_ATTRIBUTE user_id_attr = attribute(user_id_attribute(ctx), secret_key->user_id,
                                              user_id_length);
  if (ctx.flavour == Flavour::kId) {
    public_templ = {attribute_of(CKA_CLASS, kPublicKeyClass), label_attr, user_id_attr,
                    attribute_of(CKA_KEY_TYPE, kRsa), attribute_of(CKA_TOKEN, kTrue),
                    attribute_of(CKA_PRIVATE, kFalse), attribute_of(CKA_MODIFIABLE, kFalse),
                    attribute_of(CKA_MODULUS_BITS, modulus_bits),
                    attribute(CKA_PUBLIC_EXPONENT, kPublicExponent, sizeof kPublicExponent),
                    attribute_of(CKA_ENCRYPT, kTrue), attribute_of(CKA_VERIFY, kTrue)};
    private_templ = {attribute_of(CKA_CLASS, kPrivateKeyClass), label_attr, user_id_attr,
                     attribute_of(CKA_KEY_TYPE, kRsa), attribute_of(CKA_TOKEN, kTrue),
                     attribute_of(CKA_PRIVATE, kTrue), attribute_of(CKA_MODIFIABLE, kFalse),
                     attribute_of(CKA_DECRYPT, kTrue), attribute_of(CKA_SIGN, kTrue)};
  } else {
    // The label doubles as the key ID.
    const CK_ATTRIBUTE id_attr = attribute(CKA_ID, label.data(), label.size());
    public_templ = {attribute_of(CKA_CLASS, kPublicKeyClass), label_attr, user_id_attr, id_attr,
                    attribute_of(CKA_KEY_TYPE, kRsa), attribute_of(CKA_TOKEN, kTrue),
                    attribute_of(CKA_PRIVATE, kFalse), attribute_of(CKA_MODIFIABLE, kFalse),
                    attribute_of(CKA_MODULUS_BITS, modulus_bits),
                    attribute(CKA_PUBLIC_EXPONENT, kPublicExponent, sizeof kPublicExponent)};
    private_templ = {attribute_of(CKA_CLASS, kPrivateKeyClass), label_attr, user_id_attr, id_attr,
                     attribute_of(CKA_KEY_TYPE, kRsa), attribute_of(CKA_TOKEN, kTrue),
                     attribute_of(CKA_PRIVATE, kTrue), attribute_of(CKA_MODIFIABLE, kFalse)};
    if (ctx.library_flags == kFlagsUsageAttributes) {
      public_templ.push_back(attribute_of(CKA_VERIFY, kTrue));
      public_templ.push_back(attribute_of(CKA_ENCRYPT, kTrue));
      private_templ.push_back(attribute_of(CKA_SIGN, kTrue));
      private_templ.push_back(attribute_of(CKA_DECRYPT, kTrue));
    }
  }
  Session session(ctx);
  if (const int rc = session.open_logged_in(); rc != 0) return rc;
  // A new pair replaces whatever the token held under the serial's label.
  session.delete_all_with_label(label);
  CK_MECHANISM mechanism{CKM_RSA_PKCS_KEY_PAIR_GEN, nullptr, 0};
  CK_OBJECT_HANDLE public_object = CK_INVALID_HANDLE;
  CK_OBJECT_HANDLE private_object = CK_INVALID_HANDLE;
  if (session.f()->C_GenerateKeyPair(session.handle(), &mechanism, public_templ.data(),
                                     public_templ.size(), private_templ.data(),
                                     private_templ.size(), &public_object,
                                     &private_object) != CKR_OK)
    return CORE_E_GENKEY;
  return 0;
}

int import_public_key(Context& ctx, const KeyCertRecord* cert) {
  if (ctx.functions == nullptr) return CORE_E_NOT_READY;
  if (cert == nullptr) return CORE_E_ARGS;
  Session session(ctx);
  if (const int rc = session.open_logged_in(); rc != 0) return rc;
  CK_ULONG modulus_length = 0;
  CK_ULONG exponent_length = 0;
  const CK_BYTE* modulus = strip_leading_zeros(cert->n, sizeof cert->n, &modulus_length);
  const CK_BYTE* exponent = strip_leading_zeros(cert->e, sizeof cert->e, &exponent_length);
  // The ID engine's tokens take no 512-bit keys; they are accepted and not stored.
  if (ctx.flavour == Flavour::kId && modulus_length == 64) return 0;
  const std::string label = key_label(cert->serial);
  const CK_ATTRIBUTE label_attr = attribute(CKA_LABEL, label.data(), label.size());
  const CK_ATTRIBUTE user_id_attr = attribute(user_id_attribute(ctx), cert->user_id,
                                              strnlen(cert->user_id, sizeof cert->user_id));
  const CK_ATTRIBUTE modulus_attr = attribute(CKA_MODULUS, modulus, modulus_length);
  const CK_ATTRIBUTE exponent_attr = attribute(CKA_PUBLIC_EXPONENT, exponent, exponent_length);
  std::vector<CK_ATTRIBUTE> templ;
  if (ctx.flavour == Flavour::kId) {
    templ = {attribute_of(CKA_CLASS, kPublicKeyClass), attribute_of(CKA_KEY_TYPE, kRsa),
             user_id_attr, label_attr, attribute_of(CKA_TOKEN, kTrue),
             attribute_of(CKA_PRIVATE, kFalse), modulus_attr, exponent_attr,
             attribute_of(CKA_MODIFIABLE, kFalse), attribute_of(CKA_ENCRYPT, kTrue),
             attribute_of(CKA_VERIFY, kTrue)};
  } else {
    templ = {attribute_of(CKA_CLASS, kPublicKeyClass), attribute_of(CKA_KEY_TYPE, kRsa),
             attribute(CKA_ID, label.data(), label.size()), user_id_attr, label_attr,
             attribute_of(CKA_TOKEN, kTrue), attribute_of(CKA_PRIVATE, kFalse), modulus_attr,
             exponent_attr};
    if (ctx.library_flags == 0) templ.push_back(attribute_of(CKA_MODIFIABLE, kFalse));
  }
  session.delete_all_with_label(label);
  CK_OBJECT_HANDLE object = CK_INVALID_HANDLE;
  if (session.f()->C_CreateObject(session.handle(), templ.data(), templ.size(), &object) != CKR_OK)
    return CORE_E_WRITE_FILE;
  return 0;
}

int delete_key(Context& ctx, uint32_t serial) {
  Session session(ctx);
  if (const int rc = session.open_logged_in(); rc != 0) return rc;
  return session.delete_all_with_label(key_label(serial));
}

int read_data(Context& ctx, const char* label, uint8_t* out, int size) {
  if (label == nullptr) return CORE_E_ARGS;
  Session session(ctx);
  if (const int rc = session.open_logged_in(); rc != 0) return rc;
  const CK_OBJECT_HANDLE object = find_data_object(session, label);
  if (object == CK_INVALID_HANDLE) return CORE_E_FILE_NOT_FOUND;
  CK_ATTRIBUTE value = attribute(CKA_VALUE, nullptr, 0);
  if (session.f()->C_GetAttributeValue(session.handle(), object, &value, 1) != CKR_OK ||
      value.ulValueLen == CK_UNAVAILABLE_INFORMATION)
    return CORE_E_READ_FILE;
  if (out == nullptr || size < 0 || value.ulValueLen >= static_cast<CK_ULONG>(size))
    return CORE_E_NOMEM;
  value.pValue = out;
  if (session.f()->C_GetAttributeValue(session.handle(), object, &value, 1) != CKR_OK)
    return CORE_E_READ_FILE;
  return static_cast<int>(value.ulValueLen);
}

int write_data(Context& ctx, const char* label, const uint8_t* data, int length) {
  if (label == nullptr || length < 0 || (data == nullptr && length > 0)) return CORE_E_ARGS;
  Session session(ctx);
  if (const int rc = session.open_logged_in(); rc != 0) return rc;
  const CK_ATTRIBUTE value = attribute(CKA_VALUE, data, static_cast<CK_ULONG>(length));
  const CK_OBJECT_HANDLE object = find_data_object(session, label);
  if (object != CK_INVALID_HANDLE) {
    CK_ATTRIBUTE update[] = {value};
    if (session.f()->C_SetAttributeValue(session.handle(), object, update, 1) == CKR_OK) return 0;
  }
  CK_ATTRIBUTE templ[] = {
      attribute_of(CKA_CLASS, kDataClass),
      attribute(CKA_LABEL, label, std::strlen(label)),
      value,
      attribute(CKA_APPLICATION, kDataApplication, sizeof kDataApplication - 1),
      attribute_of(CKA_PRIVATE, kTrue),
      attribute_of(CKA_TOKEN, kTrue),
  };
  CK_OBJECT_HANDLE created = CK_INVALID_HANDLE;
  const bool created_ok =
      session.f()->C_CreateObject(session.handle(), templ, 6, &created) == CKR_OK;
  if (object == CK_INVALID_HANDLE) return created_ok ? 0 : CORE_E_CREATE_FILE;
  // Some tokens keep a data object's value read-only: the object is then
  // replaced, the new one written before the old one goes, so that a failure
  // keeps the old value and never leaves two objects under one label.
  if (!created_ok) return CORE_E_WRITE_FILE;
  if (session.f()->C_DestroyObject(session.handle(), object) != CKR_OK) {
    session.f()->C_DestroyObject(session.handle(), created);
    return CORE_E_WRITE_FILE;
  }
  return 0;
}

int delete_data(Context& ctx, const char* label) {
  if (label == nullptr) return CORE_E_ARGS;
  Session session(ctx);
  if (const int rc = session.open_logged_in(); rc != 0) return rc;
  const CK_OBJECT_HANDLE object = find_data_object(session, label);
  if (object == CK_INVALID_HANDLE) return CORE_E_FILE_NOT_FOUND;
  if (session.f()->C_DestroyObject(session.handle(), object) != CKR_OK) return CORE_E_WRITE_FILE;
  return 0;
}

int token_info_ext(Context& ctx, int* out) {
  if (out == nullptr) return CORE_E_ARGS;
  if (ctx.flavour == Flavour::kExtended) {
    CK_SLOT_ID slot = 0;
    if (slot_of_token(ctx, ctx.token_index, &slot) != 0) return -1;
    VendorTokenInfo info;
    if (ctx.extended == nullptr) return CORE_E_NOT_SUPPORTED;
    if (read_vendor_info(ctx, slot, &info) != 0) return 0;
    *out = static_cast<int>(info.word(48));
    return static_cast<int>(info.word(52));
  }
  Session session(ctx);
  if (const int rc = session.open(); rc != 0) return rc;
  const CK_OBJECT_CLASS feature_class = CKO_HW_FEATURE;
  const CK_HW_FEATURE_TYPE feature = kVendorStatusFeature;
  CK_ATTRIBUTE templ[] = {
      attribute_of(CKA_CLASS, feature_class),
      attribute_of(CKA_HW_FEATURE_TYPE, feature),
  };
  const CK_OBJECT_HANDLE object = session.find_one(templ, 2);
  if (object == CK_INVALID_HANDLE) return CORE_E_NOT_SUPPORTED;
  uint32_t returned = 0;
  uint32_t second = 0;
  CK_ATTRIBUTE values[] = {
      attribute_of(kVendorValueReturned, returned),
      attribute_of(kVendorValueOut, second),
  };
  if (session.f()->C_GetAttributeValue(session.handle(), object, values, 2) != CKR_OK)
    return CORE_E_NOT_SUPPORTED;
  *out = static_cast<int>(second);
  return static_cast<int>(returned);
}

int pin_flag(Context& ctx, CK_FLAGS flag) {
  CK_SLOT_ID slot = 0;
  if (slot_of_token(ctx, ctx.token_index, &slot) != 0) return -1;
  Session session(ctx);
  if (session.open_on_slot(slot) != 0) return CORE_E_NOT_READY;
  CK_TOKEN_INFO info;
  if (session.f()->C_GetTokenInfo(slot, &info) != CKR_OK) return -2;
  return (info.flags & flag) != 0 ? 1 : 0;
}

int init_token(Context& ctx, int32_t index) {
  if (ctx.extended == nullptr || ctx.extended->init_token == nullptr) return CORE_E_NOT_SUPPORTED;
  CK_SLOT_ID slot = 0;
  if (slot_of_token(ctx, index, &slot) != 0) return -1;
  VendorTokenInfo info;
  if (read_vendor_info(ctx, slot, &info) != 0) return -1;
  const bool mode_flag = info.word(140) == 1 || info.word(4) == 2 || info.word(4) == 17;
  auto* pin = reinterpret_cast<CK_UTF8CHAR_PTR>(ctx.pin);
  const CK_ULONG pin_length = strnlen(ctx.pin, sizeof ctx.pin);
  {
    Session session(ctx);
    if (session.open_on_slot(slot) != 0) return -1;
    // The vendor expects the security officer's tries used up before it
    // re-initialises; the results do not matter.
    const uint32_t tries = info.word(40) + 2;
    for (uint32_t i = 0; i < tries; ++i)
      session.f()->C_Login(session.handle(), CKU_SO, pin, pin_length);
    ctx.functions->C_CloseAllSessions(slot);
    session.forget();
  }
  const CK_ULONG limit = mode_flag ? 6 : 1;
  VendorInitInfo init{sizeof(VendorInitInfo), 1, pin, pin_length, pin, pin_length, 3, limit,
                      limit, 10, 10,
                      reinterpret_cast<CK_UTF8CHAR_PTR>(const_cast<char*>(kInitLabel)),
                      sizeof kInitLabel - 1};
  return ctx.extended->init_token(slot, pin, pin_length, &init) == CKR_OK ? 0 : -2;
}

}  // namespace pkcs11
