// Key operations of the PKCS#11 engines. The key never leaves the token: each
// operation finds the key object again by its serial's label and lets the
// token sign, verify, encrypt or decrypt.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "core/crypto.h"
#include "engines/pkcs11_context.h"
#include "engines/pkcs11_session.h"

namespace pkcs11 {

namespace {

constexpr CK_ULONG kUserIdBufferSize = 254;
constexpr size_t kUserIdMax = sizeof(KeyHandle::user_id) - 1;

// Reads the key object's user ID into the handle: 0 or CORE_E_READ_FILE.
int read_user_id(Session& session, CK_OBJECT_HANDLE object, KeyHandle* key) {
  CK_BYTE value[kUserIdBufferSize];
  CK_ATTRIBUTE attr = attribute(user_id_attribute(session.context()), value, sizeof value);
  if (session.f()->C_GetAttributeValue(session.handle(), object, &attr, 1) != CKR_OK ||
      attr.ulValueLen == 0 || attr.ulValueLen > sizeof value)
    return CORE_E_READ_FILE;
  std::memset(key->user_id, 0, sizeof key->user_id);
  std::memcpy(key->user_id, value, std::min<size_t>(attr.ulValueLen, kUserIdMax));
  return 0;
}

int open_key(Context& ctx, const KeyCertRecord* cert, KeyHandle* key, bool secret) {
  if (cert == nullptr || key == nullptr) return CORE_E_ARGS;
  Session session(ctx);
  if (const int rc = session.open(); rc != 0) return rc;
  if (secret) {
    if (const int rc = session.login(); rc != 0) return rc;
  }
  const CK_OBJECT_HANDLE object =
      session.find_key(cert->serial, secret ? CKO_PRIVATE_KEY : CKO_PUBLIC_KEY);
  if (object == CK_INVALID_HANDLE) return CORE_E_READ_FILE;
  return read_user_id(session, object, key);
}

// The work buffer of one operation; its content is wiped before release.
class WorkBuffer {
 public:
  bool allocate(int size) {
    if (size < 1) return false;
    try {
      bytes_.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }
  ~WorkBuffer() { secure_wipe(bytes_.data(), bytes_.size()); }
  CK_BYTE* data() { return bytes_.data(); }

 private:
  std::vector<CK_BYTE> bytes_;
};

// Copies a big-endian number right-aligned into out, zeroing the bytes before it.
void copy_right_aligned(const CK_BYTE* value, CK_ULONG length, uint8_t* out, size_t out_size) {
  const size_t offset = out_size - length;
  std::memset(out, 0, offset);
  std::memcpy(out + offset, value, length);
}

using InitFn = CK_RV (*)(CK_SESSION_HANDLE, CK_MECHANISM_PTR, CK_OBJECT_HANDLE);
using RunFn = CK_RV (*)(CK_SESSION_HANDLE, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR);

// One CKM_RSA_PKCS operation with a logged-in session: asks for the result
// length, refuses a result longer than out_size, runs it into the work buffer.
// Returns the result length, or -1 on any failure.
long run_rsa_operation(Session& session, CK_OBJECT_HANDLE object, InitFn init, RunFn run,
                       const uint8_t* in, int length, WorkBuffer& work, int out_size) {
  CK_MECHANISM mechanism{CKM_RSA_PKCS, nullptr, 0};
  if (init(session.handle(), &mechanism, object) != CKR_OK) return -1;
  auto* input = const_cast<CK_BYTE_PTR>(in);
  CK_ULONG result_length = 0;
  if (run(session.handle(), input, static_cast<CK_ULONG>(length), nullptr, &result_length) !=
          CKR_OK ||
      result_length > static_cast<CK_ULONG>(out_size))
    return -1;
  result_length = static_cast<CK_ULONG>(out_size);
  if (run(session.handle(), input, static_cast<CK_ULONG>(length), work.data(), &result_length) !=
          CKR_OK ||
      result_length > static_cast<CK_ULONG>(out_size))
    return -1;
  return static_cast<long>(result_length);
}

// The whole of one key operation: checks, the logged-in session, the key's
// object and the RSA operation into work. The result length, or a negative
// core code: `failure` when the token refuses the operation itself.
long run_key_operation(Context& ctx, KeyHandle* key, uint16_t kind, InitFn CK_FUNCTION_LIST::*init,
                       RunFn CK_FUNCTION_LIST::*run, const uint8_t* in, int length, uint8_t* out,
                       int out_size, WorkBuffer& work, int failure) {
  if (key == nullptr || key->kind != kind) return CORE_E_INVALID_KEY;
  if (ctx.functions == nullptr) return CORE_E_NOT_READY;
  if (in == nullptr || out == nullptr || length < 0) return CORE_E_ARGS;
  if (!work.allocate(out_size)) return CORE_E_NOMEM;
  Session session(ctx);
  if (const int rc = session.open_logged_in(); rc != 0) return rc;
  const CK_OBJECT_CLASS object_class = kind == KEY_KIND_SECRET ? CKO_PRIVATE_KEY : CKO_PUBLIC_KEY;
  const CK_OBJECT_HANDLE object = session.find_key(key->serial, object_class);
  if (object == CK_INVALID_HANDLE) return CORE_E_READ_FILE;
  const long result_length =
      run_rsa_operation(session, object, session.f()->*init, session.f()->*run, in, length, work, out_size);
  return result_length < 0 ? failure : result_length;
}

}  // namespace

int open_secret_key(Context& ctx, const KeyCertRecord* cert, KeyHandle* key) {
  // The ID engine's tokens are opened without login, through the public key.
  return open_key(ctx, cert, key, ctx.flavour != Flavour::kId);
}

int open_public_key(Context& ctx, const KeyCertRecord* cert, KeyHandle* key) {
  return open_key(ctx, cert, key, false);
}

int sign_digest(Context& ctx, const uint8_t* digest_info, int length, uint8_t* out, int out_size,
                KeyHandle* key) {
  WorkBuffer work;
  const long signature_length =
      run_key_operation(ctx, key, KEY_KIND_SECRET, &CK_FUNCTION_LIST::C_SignInit, &CK_FUNCTION_LIST::C_Sign,
                        digest_info, length, out, out_size, work, CORE_E_SIGN);
  if (signature_length < 0) return static_cast<int>(signature_length);
  copy_right_aligned(work.data(), static_cast<CK_ULONG>(signature_length), out,
                     static_cast<size_t>(out_size));
  return 0;
}

int verify_digest(Context& ctx, const uint8_t* signature, int signature_length,
                  const uint8_t* expected, int expected_length, KeyHandle* key) {
  if (key == nullptr || key->kind != KEY_KIND_PUBLIC) return CORE_E_INVALID_KEY;
  if (ctx.functions == nullptr) return CORE_E_NOT_READY;
  if (signature == nullptr || expected == nullptr || signature_length < 0 || expected_length < 0)
    return CORE_E_ARGS;
  Session session(ctx);
  if (const int rc = session.open(); rc != 0) return rc;
  // Leading zero bytes of both inputs are not part of the numbers.
  while (signature_length > 0 && *signature == 0) ++signature, --signature_length;
  while (expected_length > 0 && *expected == 0) ++expected, --expected_length;
  const CK_OBJECT_HANDLE object = session.find_key(key->serial, CKO_PUBLIC_KEY);
  if (object == CK_INVALID_HANDLE) return CORE_E_READ_FILE;
  // A signature is as long as the modulus; one whose own first byte is zero
  // lost it above and gets it back here, else the token refuses its length.
  std::vector<CK_BYTE> padded(signature, signature + signature_length);
  CK_ATTRIBUTE modulus = attribute(CKA_MODULUS, nullptr, 0);
  if (session.f()->C_GetAttributeValue(session.handle(), object, &modulus, 1) == CKR_OK &&
      modulus.ulValueLen != CK_UNAVAILABLE_INFORMATION &&
      modulus.ulValueLen > static_cast<CK_ULONG>(signature_length))
    padded.insert(padded.begin(), modulus.ulValueLen - static_cast<CK_ULONG>(signature_length), 0);
  CK_MECHANISM mechanism{CKM_RSA_PKCS, nullptr, 0};
  if (session.f()->C_VerifyInit(session.handle(), &mechanism, object) != CKR_OK ||
      session.f()->C_Verify(session.handle(), const_cast<CK_BYTE_PTR>(expected),
                            static_cast<CK_ULONG>(expected_length), padded.data(),
                            padded.size()) != CKR_OK)
    return CORE_E_VERIFY;
  return 0;
}

int public_encrypt(Context& ctx, const uint8_t* in, int length, uint8_t* out, int out_size,
                   KeyHandle* key) {
  WorkBuffer work;
  const long cipher_length =
      run_key_operation(ctx, key, KEY_KIND_PUBLIC, &CK_FUNCTION_LIST::C_EncryptInit,
                        &CK_FUNCTION_LIST::C_Encrypt, in, length, out, out_size, work, CORE_E_ENCRYPT);
  if (cipher_length < 0) return static_cast<int>(cipher_length);
  copy_right_aligned(work.data(), static_cast<CK_ULONG>(cipher_length), out,
                     static_cast<size_t>(out_size));
  return 0;
}

int private_decrypt(Context& ctx, const uint8_t* in, int length, uint8_t* out, int out_size,
                    KeyHandle* key) {
  WorkBuffer work;
  const long plain_length =
      run_key_operation(ctx, key, KEY_KIND_SECRET, &CK_FUNCTION_LIST::C_DecryptInit,
                        &CK_FUNCTION_LIST::C_Decrypt, in, length, out, out_size, work, CORE_E_DECRYPT);
  if (plain_length < 0) return static_cast<int>(plain_length);
  std::memcpy(out, work.data(), static_cast<size_t>(plain_length));
  return static_cast<int>(plain_length);
}

int export_public_key(Context& ctx, KeyCertRecord* cert, KeyHandle* key) {
  if (cert == nullptr || key == nullptr) return CORE_E_ARGS;
  Session session(ctx);
  if (const int rc = session.open(); rc != 0) return rc;
  const CK_OBJECT_HANDLE object = session.find_key(key->serial, CKO_PUBLIC_KEY);
  if (object == CK_INVALID_HANDLE) return CORE_E_READ_FILE;
  CK_BYTE modulus[sizeof cert->n];
  CK_BYTE exponent[sizeof cert->e];
  CK_ULONG bits = 0;
  CK_ATTRIBUTE attrs[] = {
      attribute(CKA_MODULUS, modulus, sizeof modulus),
      attribute(CKA_PUBLIC_EXPONENT, exponent, sizeof exponent),
      attribute_of(CKA_MODULUS_BITS, bits),
  };
  if (session.f()->C_GetAttributeValue(session.handle(), object, attrs, 3) != CKR_OK ||
      attrs[0].ulValueLen > sizeof modulus || attrs[1].ulValueLen > sizeof exponent)
    return CORE_E_READ_FILE;
  cert->modulus_bits = static_cast<int16_t>(bits);
  copy_right_aligned(modulus, attrs[0].ulValueLen, cert->n, sizeof cert->n);
  copy_right_aligned(exponent, attrs[1].ulValueLen, cert->e, sizeof cert->e);
  return 0;
}

int random_bytes(Context& ctx, uint8_t* out, int length) {
  if (ctx.functions == nullptr) return CORE_E_NOT_READY;
  if (out == nullptr || length < 0) return 0;
  Session session(ctx);
  if (const int rc = session.open(); rc != 0) return rc;
  if (session.f()->C_GenerateRandom(session.handle(), out, static_cast<CK_ULONG>(length)) != CKR_OK)
    return 0;
  return length;
}

}  // namespace pkcs11
