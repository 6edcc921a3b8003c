// There is no CryptoAPI here: ENGINE_CRYPTOAPI asks available() and answers
// every call with "not supported"; the rest fail should anything call them.
#include "platform/crypto_api.h"

namespace platform::cryptoapi {

bool available() { return false; }
unsigned long current_thread_id() { return 0; }
Handle create_container(const char*) { return 0; }
void delete_container(const char*) {}
bool container_exists(const char*) { return false; }
void release_provider(Handle) {}
Handle import_key(Handle, const uint8_t*, size_t) { return 0; }
void destroy_key(Handle) {}
Result sign_md5(Handle, const uint8_t (&)[kMd5Size], uint8_t*, uint32_t*) { return Result::kNoHash; }
Result verify_md5(Handle, Handle, const uint8_t (&)[kMd5Size], const uint8_t*, uint32_t) {
  return Result::kNoHash;
}
bool encrypt(Handle, uint8_t*, uint32_t*, uint32_t) { return false; }
bool decrypt(Handle, uint8_t*, uint32_t*) { return false; }
bool random_bytes(uint8_t*, uint32_t) { return false; }

}  // namespace platform::cryptoapi
