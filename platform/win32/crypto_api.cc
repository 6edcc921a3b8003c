// CryptoAPI (advapi32) for ENGINE_CRYPTOAPI: the default PROV_RSA_FULL
// provider, key containers of the current user, MD5 hash objects.
#include "platform/crypto_api.h"

#include "platform/win32/windows_api.h"

#include <wincrypt.h>

namespace platform::cryptoapi {

namespace {

// An MD5 hash object of provider that holds the given value; 0 on failure.
HCRYPTHASH md5_hash_object(Handle provider, const uint8_t (&md5)[kMd5Size]) {
  HCRYPTHASH hash = 0;
  if (!CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) return 0;
  if (!CryptSetHashParam(hash, HP_HASHVAL, md5, 0)) {
    CryptDestroyHash(hash);
    return 0;
  }
  return hash;
}

}  // namespace

bool available() { return true; }

unsigned long current_thread_id() { return GetCurrentThreadId(); }

Handle create_container(const char* name) {
  HCRYPTPROV provider = 0;
  // A container left by a process that ended with the key open goes first.
  CryptAcquireContextA(&provider, name, nullptr, PROV_RSA_FULL, CRYPT_DELETEKEYSET);
  provider = 0;
  if (!CryptAcquireContextA(&provider, name, nullptr, PROV_RSA_FULL, CRYPT_NEWKEYSET)) return 0;
  return provider;
}

void delete_container(const char* name) {
  HCRYPTPROV provider = 0;
  CryptAcquireContextA(&provider, name, nullptr, PROV_RSA_FULL, CRYPT_DELETEKEYSET);
}

bool container_exists(const char* name) {
  HCRYPTPROV provider = 0;
  if (!CryptAcquireContextA(&provider, name, nullptr, PROV_RSA_FULL, 0)) return false;
  CryptReleaseContext(provider, 0);
  return true;
}

void release_provider(Handle provider) {
  if (provider != 0) CryptReleaseContext(provider, 0);
}

Handle import_key(Handle provider, const uint8_t* blob, size_t size) {
  HCRYPTKEY key = 0;
  if (size > MAXDWORD || !CryptImportKey(provider, blob, static_cast<DWORD>(size), 0, 0, &key)) return 0;
  return key;
}

void destroy_key(Handle key) {
  if (key != 0) CryptDestroyKey(key);
}

Result sign_md5(Handle provider, const uint8_t (&md5)[kMd5Size], uint8_t* out, uint32_t* length) {
  const HCRYPTHASH hash = md5_hash_object(provider, md5);
  if (hash == 0) return Result::kNoHash;
  DWORD size = *length;
  const BOOL signed_ok = CryptSignHashA(hash, AT_KEYEXCHANGE, nullptr, 0, out, &size);
  CryptDestroyHash(hash);
  if (!signed_ok) return Result::kFailed;
  *length = size;
  return Result::kOk;
}

Result verify_md5(Handle provider, Handle key, const uint8_t (&md5)[kMd5Size], const uint8_t* signature,
                  uint32_t length) {
  const HCRYPTHASH hash = md5_hash_object(provider, md5);
  if (hash == 0) return Result::kNoHash;
  const BOOL good = CryptVerifySignatureA(hash, signature, length, key, nullptr, 0);
  CryptDestroyHash(hash);
  return good ? Result::kOk : Result::kFailed;
}

bool encrypt(Handle key, uint8_t* data, uint32_t* length, uint32_t capacity) {
  DWORD size = *length;
  if (!CryptEncrypt(key, 0, TRUE, 0, data, &size, capacity)) return false;
  *length = size;
  return true;
}

bool decrypt(Handle key, uint8_t* data, uint32_t* length) {
  DWORD size = *length;
  if (!CryptDecrypt(key, 0, TRUE, 0, data, &size)) return false;
  *length = size;
  return true;
}

bool random_bytes(uint8_t* out, uint32_t length) {
  HCRYPTPROV provider = 0;
  if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return false;
  const BOOL ok = CryptGenRandom(provider, length, out);
  CryptReleaseContext(provider, 0);
  return ok != FALSE;
}

}  // namespace platform::cryptoapi
