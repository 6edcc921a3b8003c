// ENGINE_CRYPTOAPI: key operations. CryptoAPI reads and writes numbers
// little-endian; the engine's callers give and take them big-endian,
// right-aligned, so every number is reversed on the way in and out.
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/crypto.h"
#include "engines/capi.h"

namespace cryptoapi = platform::cryptoapi;

namespace {

// The DER prefix of an MD5 DigestInfo. CryptoAPI signs and checks hash
// values, not DigestInfos: only an MD5 one (all the core makes) can be
// handed over as its value without changing what is signed or checked.
constexpr uint8_t kMd5DigestInfoPrefix[] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                            0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
constexpr size_t kMd5DigestInfoSize = sizeof kMd5DigestInfoPrefix + cryptoapi::kMd5Size;

bool md5_value_of(const uint8_t* digest_info, int length, uint8_t (&md5)[cryptoapi::kMd5Size]) {
  if (length != static_cast<int>(kMd5DigestInfoSize) ||
      std::memcmp(digest_info, kMd5DigestInfoPrefix, sizeof kMd5DigestInfoPrefix) != 0)
    return false;
  std::memcpy(md5, digest_info + sizeof kMd5DigestInfoPrefix, sizeof md5);
  return true;
}

// The engine data of a handle with both CryptoAPI handles, else null.
const CapiKey* capi_key(const KeyHandle* key) {
  if (key == nullptr) return nullptr;
  const auto* capi = static_cast<const CapiKey*>(key->engine_data);
  if (capi == nullptr || capi->provider == 0 || capi->key == 0) return nullptr;
  return capi;
}

void skip_leading_zeros(const uint8_t*& data, int& length) {
  while (length > 0 && *data == 0) {
    ++data;
    --length;
  }
}

// A big-endian number of at most k bytes as the k-byte little-endian block
// CryptoAPI takes; empty when it is longer.
std::vector<uint8_t> little_endian_block(const uint8_t* data, int length, size_t k) {
  skip_leading_zeros(data, length);
  if (length < 0 || static_cast<size_t>(length) > k) return {};
  std::vector<uint8_t> block(k, 0);
  std::reverse_copy(data, data + length, block.begin());
  return block;
}

void wipe(std::vector<uint8_t>& bytes) { secure_wipe(bytes.data(), bytes.size()); }

}  // namespace

int capi_sign_digest(const uint8_t* digest_info, int length, uint8_t* out, int out_size, KeyHandle* key) {
  const CapiKey* capi = capi_key(key);
  if (capi == nullptr) return CORE_E_INVALID_KEY;
  if (digest_info == nullptr || out == nullptr || out_size < 0) return CORE_E_ARGS;
  const size_t k = capi->modulus_bytes;
  // The signature is written at the end of out: a buffer shorter than the
  // modulus would have it start before out.
  if (static_cast<size_t>(out_size) < k) return CORE_E_KEYLEN;
  std::memset(out, 0, static_cast<size_t>(out_size));
  uint8_t md5[cryptoapi::kMd5Size];
  if (!md5_value_of(digest_info, length, md5)) return CORE_E_SIGN;
  uint8_t* signature = out + (out_size - k);
  uint32_t written = static_cast<uint32_t>(k);
  switch (cryptoapi::sign_md5(capi->provider, md5, signature, &written)) {
    case cryptoapi::Result::kNoHash: return CORE_E_INVALID_KEY;
    case cryptoapi::Result::kFailed: return CORE_E_SIGN;
    case cryptoapi::Result::kOk: break;
  }
  if (written != k) {
    std::memset(signature, 0, k);
    return CORE_E_SIGN;
  }
  std::reverse(signature, signature + k);
  return 0;
}

int capi_verify_digest(const uint8_t* signature, int signature_length, const uint8_t* expected,
                       int expected_length, KeyHandle* key) {
  const CapiKey* capi = capi_key(key);
  if (capi == nullptr) return CORE_E_INVALID_KEY;
  if (signature == nullptr || expected == nullptr) return CORE_E_ARGS;
  skip_leading_zeros(expected, expected_length);
  uint8_t md5[cryptoapi::kMd5Size];
  if (!md5_value_of(expected, expected_length, md5)) return CORE_E_VERIFY;
  // CryptoAPI takes signatures of exactly k bytes: one whose big-endian value
  // begins with a zero byte arrives shorter and is padded back.
  std::vector<uint8_t> block = little_endian_block(signature, signature_length, capi->modulus_bytes);
  if (block.empty()) return CORE_E_VERIFY;
  switch (cryptoapi::verify_md5(capi->provider, capi->key, md5, block.data(), static_cast<uint32_t>(block.size()))) {
    case cryptoapi::Result::kNoHash: return CORE_E_INVALID_KEY;
    case cryptoapi::Result::kFailed: return CORE_E_VERIFY;
    case cryptoapi::Result::kOk: break;
  }
  return 0;
}

int capi_public_encrypt(const uint8_t* in, int length, uint8_t* out, int out_size, KeyHandle* key) {
  const CapiKey* capi = capi_key(key);
  if (capi == nullptr) return CORE_E_INVALID_KEY;
  if (in == nullptr || out == nullptr || length < 0 || out_size < 0) return CORE_E_ARGS;
  const size_t k = capi->modulus_bytes;
  if (static_cast<size_t>(out_size) < k || static_cast<size_t>(length) + 11 > k) return CORE_E_KEYLEN;
  std::memset(out, 0, static_cast<size_t>(out_size));
  std::vector<uint8_t> work(k, 0);
  std::memcpy(work.data(), in, static_cast<size_t>(length));
  uint32_t size = static_cast<uint32_t>(length);
  const bool ok = cryptoapi::encrypt(capi->key, work.data(), &size, static_cast<uint32_t>(k)) && size == k;
  if (ok) std::reverse_copy(work.begin(), work.end(), out + (out_size - k));
  wipe(work);
  return ok ? 0 : CORE_E_ENCRYPT;
}

int capi_private_decrypt(const uint8_t* in, int length, uint8_t* out, int out_size, KeyHandle* key) {
  const CapiKey* capi = capi_key(key);
  if (capi == nullptr) return CORE_E_INVALID_KEY;
  if (in == nullptr || out == nullptr || out_size < 0) return CORE_E_ARGS;
  std::memset(out, 0, static_cast<size_t>(out_size));
  std::vector<uint8_t> work = little_endian_block(in, length, capi->modulus_bytes);
  if (work.empty()) return CORE_E_DECRYPT;
  uint32_t size = static_cast<uint32_t>(work.size());
  int result = CORE_E_DECRYPT;
  if (cryptoapi::decrypt(capi->key, work.data(), &size)) {
    // The plaintext goes to the start of out; it must fit there.
    if (size > static_cast<uint32_t>(out_size)) {
      result = CORE_E_KEYLEN;
    } else {
      std::memcpy(out, work.data(), size);
      result = static_cast<int>(size);
    }
  }
  wipe(work);
  return result;
}

int capi_random_bytes(uint8_t* out, int length) {
  if (out == nullptr || length <= 0) return 0;
  return cryptoapi::random_bytes(out, static_cast<uint32_t>(length)) ? length : 0;
}
