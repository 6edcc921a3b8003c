// The Windows CryptoAPI as ENGINE_CRYPTOAPI uses it: the default provider of
// type PROV_RSA_FULL, RSA keys imported from key blobs into named containers
// of the user's key store, signatures over MD5 hash values, PKCS #1 v1.5
// encryption and the provider's random generator. Numbers cross this
// interface little-endian, as CryptoAPI keeps them.
//
// Systems without CryptoAPI answer available() with false and fail every call.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::cryptoapi {

// A provider or key handle; 0 is none.
using Handle = uintptr_t;

constexpr size_t kMd5Size = 16;

bool available();

// The id of the calling thread, which container names carry.
unsigned long current_thread_id();

// Removes any container of that name (a stale one from an earlier process),
// then makes it anew. The provider handle of the new container, or 0.
Handle create_container(const char* name);
// Removes the container of that name from the user's key store.
void delete_container(const char* name);
// Whether the user's key store holds a container of that name.
bool container_exists(const char* name);
void release_provider(Handle provider);

// Imports a PUBLICKEYBLOB or PRIVATEKEYBLOB, unwrapped; 0 on failure.
Handle import_key(Handle provider, const uint8_t* blob, size_t size);
void destroy_key(Handle key);

enum class Result {
  kOk,
  kNoHash,  // the MD5 hash object could not be made or given its value
  kFailed,  // the operation itself failed
};

// Signs an MD5 hash value with the container's key-exchange key; the
// signature, little-endian, goes to out (room for *length bytes), and
// *length becomes its size.
Result sign_md5(Handle provider, const uint8_t (&md5)[kMd5Size], uint8_t* out, uint32_t* length);
// Checks a little-endian signature of an MD5 hash value with key.
Result verify_md5(Handle provider, Handle key, const uint8_t (&md5)[kMd5Size], const uint8_t* signature,
                  uint32_t length);

// PKCS #1 v1.5 encryption in place: data holds *length bytes and has room for
// capacity; afterwards it holds the little-endian result, *length its size.
bool encrypt(Handle key, uint8_t* data, uint32_t* length, uint32_t capacity);
// PKCS #1 v1.5 decryption in place of a little-endian block of *length bytes;
// afterwards data starts with the plaintext, *length its size.
bool decrypt(Handle key, uint8_t* data, uint32_t* length);

// Random bytes from a provider without a container; false on failure.
bool random_bytes(uint8_t* out, uint32_t length);

}  // namespace platform::cryptoapi
