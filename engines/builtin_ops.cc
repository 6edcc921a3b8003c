// ENGINE_BUILTIN key operations: PKCS #1 v1.5 signatures (block type 1) and
// encryption (block type 2) with the core's RSA code. Results are written
// right-aligned in the caller's buffer with the leading bytes zeroed.
#include <cstring>

#include "core/crypto.h"
#include "engines/builtin.h"

namespace {

constexpr size_t kMinPadding = 8;

// Drops leading zero bytes of a big-endian input.
void skip_leading_zeros(const uint8_t*& data, int& length) {
  while (length > 0 && *data == 0) {
    ++data;
    --length;
  }
}

// The payload of a PKCS #1 v1.5 block: 00, the block type, padding up to a 00
// separator (at least 8 bytes; FF for type 1, non-zero for type 2), payload.
// Returns the payload offset, or 0 when the layout is wrong.
size_t pkcs1_payload_offset(const uint8_t* block, size_t k, uint8_t type) {
  if (k < 3 || block[0] != 0x00 || block[1] != type) return 0;
  size_t i = 2;
  while (i < k && block[i] != 0x00) {
    if (type == 0x01 && block[i] != 0xFF) return 0;
    ++i;
  }
  if (i == k || i - 2 < kMinPadding) return 0;
  return i + 1;
}

// A non-zero random byte from the pool; false when the pool fails.
bool random_nonzero(uint8_t& byte) {
  do {
    if (random_generate(builtin_random_pool(), &byte, 1) != 0) return false;
  } while (byte == 0);
  return true;
}

}  // namespace

int builtin_sign_digest(const uint8_t* digest_info, int length, uint8_t* out, int out_size, KeyHandle* key) {
  BuiltinSecretKey* secret = builtin_secret_key(key);
  if (secret == nullptr) return CORE_E_INVALID_KEY;
  if (digest_info == nullptr || out == nullptr || length < 0) return CORE_E_ARGS;
  const size_t k = rsa_modulus_bytes(secret->record.bits);
  if (out_size < 0 || static_cast<size_t>(out_size) < k) return CORE_E_KEYLEN;
  const size_t lead = static_cast<size_t>(out_size) - k;
  const int result = rsa_sign_pkcs1(digest_info, static_cast<size_t>(length), secret->record, secret->crt, out + lead);
  std::memset(out, 0, lead);
  return result == 0 ? 0 : CORE_E_SIGN;
}

int builtin_verify_digest(const uint8_t* signature, int signature_length, const uint8_t* expected,
                          int expected_length, KeyHandle* key) {
  const RsaPublicKey* pub = builtin_public_key(key);
  if (pub == nullptr) return CORE_E_INVALID_KEY;
  if (signature == nullptr || expected == nullptr) return CORE_E_ARGS;
  skip_leading_zeros(expected, expected_length);
  skip_leading_zeros(signature, signature_length);
  const size_t k = rsa_modulus_bytes(pub->bits);
  if (k == 0 || k > kRsaMaxModulusBytes) return CORE_E_NOMEM;
  if (signature_length < 0 || static_cast<size_t>(signature_length) > k) return CORE_E_VERIFY;
  uint8_t block[kRsaMaxModulusBytes];
  int result = CORE_E_VERIFY;
  if (rsa_public_block(signature, static_cast<size_t>(signature_length), *pub, block) == 0) {
    const size_t offset = pkcs1_payload_offset(block, k, 0x01);
    if (offset != 0 && expected_length >= 0 && k - offset == static_cast<size_t>(expected_length) &&
        std::memcmp(block + offset, expected, k - offset) == 0)
      result = 0;
  }
  secure_wipe(block, sizeof block);
  return result;
}

int builtin_public_encrypt(const uint8_t* in, int length, uint8_t* out, int out_size, KeyHandle* key) {
  const RsaPublicKey* pub = builtin_public_key(key);
  if (pub == nullptr) return CORE_E_INVALID_KEY;
  if (in == nullptr || out == nullptr || length < 0) return CORE_E_ARGS;
  const size_t k = rsa_modulus_bytes(pub->bits);
  if (k > kRsaMaxModulusBytes || static_cast<size_t>(length) + 11 > k || out_size < 0 ||
      static_cast<size_t>(out_size) < k)
    return CORE_E_KEYLEN;
  uint8_t block[kRsaMaxModulusBytes];
  block[0] = 0x00;
  block[1] = 0x02;
  const size_t padding_end = k - static_cast<size_t>(length) - 1;
  bool ok = true;
  for (size_t i = 2; ok && i < padding_end; ++i) ok = random_nonzero(block[i]);
  block[padding_end] = 0x00;
  std::memcpy(block + padding_end + 1, in, static_cast<size_t>(length));
  const size_t lead = static_cast<size_t>(out_size) - k;
  ok = ok && rsa_public_block(block, k, *pub, out + lead) == 0;
  std::memset(out, 0, lead);
  secure_wipe(block, sizeof block);
  return ok ? 0 : CORE_E_ENCRYPT;
}

// The plaintext goes to the start of out. It may be up to k - 11 bytes; a
// buffer too small for it is refused rather than overrun.
int builtin_private_decrypt(const uint8_t* in, int length, uint8_t* out, int out_size, KeyHandle* key) {
  BuiltinSecretKey* secret = builtin_secret_key(key);
  if (secret == nullptr) return CORE_E_INVALID_KEY;
  if (in == nullptr || out == nullptr || length < 0) return CORE_E_ARGS;
  const size_t k = rsa_modulus_bytes(secret->record.bits);
  uint8_t block[kRsaMaxModulusBytes];
  int result = CORE_E_DECRYPT;
  if (rsa_private_block(in, static_cast<size_t>(length), secret->record, secret->crt, block) == 0) {
    const size_t offset = pkcs1_payload_offset(block, k, 0x02);
    const size_t payload = offset != 0 ? k - offset : 0;
    if (payload > 0 && out_size >= 0 && payload > static_cast<size_t>(out_size)) {
      result = CORE_E_KEYLEN;
    } else if (payload > 0) {
      std::memcpy(out, block + offset, payload);
      result = static_cast<int>(payload);
    }
  }
  secure_wipe(block, sizeof block);
  return result;
}
