#include "core/crypto.h"

// The digests use OpenSSL's direct MD5 and SHA-1 functions, which OpenSSL 3
// marks deprecated in favour of EVP. EVP fetches its algorithms from a
// provider: the first fetch reads the OpenSSL configuration and starts the
// default provider, a millisecond and a half that every velixhost run would
// pay at start-up only to seed the builtin engine's pool. The direct
// functions compute the same digests with none of that.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/crypto.h>
#include <openssl/md5.h>
#include <openssl/sha.h>

void md5(const void* data, size_t length, uint8_t out[kMd5Size]) {
  MD5(static_cast<const unsigned char*>(data), length, out);
}

void sha1(const void* data, size_t length, uint8_t out[kSha1Size]) {
  SHA1(static_cast<const unsigned char*>(data), length, out);
}

void sha256(const void* data, size_t length, uint8_t out[kSha256Size]) {
  SHA256(static_cast<const unsigned char*>(data), length, out);
}

Sha256::Sha256() : ctx_(new SHA256_CTX) { SHA256_Init(static_cast<SHA256_CTX*>(ctx_)); }
Sha256::~Sha256() {
  OPENSSL_cleanse(ctx_, sizeof(SHA256_CTX));
  delete static_cast<SHA256_CTX*>(ctx_);
}
void Sha256::update(const void* data, size_t length) { SHA256_Update(static_cast<SHA256_CTX*>(ctx_), data, length); }
void Sha256::final(uint8_t out[kSha256Size]) { SHA256_Final(out, static_cast<SHA256_CTX*>(ctx_)); }

Sha1::Sha1() : ctx_(new SHA_CTX) { SHA1_Init(static_cast<SHA_CTX*>(ctx_)); }
Sha1::~Sha1() {
  OPENSSL_cleanse(ctx_, sizeof(SHA_CTX));
  delete static_cast<SHA_CTX*>(ctx_);
}
void Sha1::update(const void* data, size_t length) { SHA1_Update(static_cast<SHA_CTX*>(ctx_), data, length); }
void Sha1::final(uint8_t out[kSha1Size]) { SHA1_Final(out, static_cast<SHA_CTX*>(ctx_)); }

Md5::Md5() : ctx_(new MD5_CTX) { MD5_Init(static_cast<MD5_CTX*>(ctx_)); }
Md5::~Md5() {
  OPENSSL_cleanse(ctx_, sizeof(MD5_CTX));
  delete static_cast<MD5_CTX*>(ctx_);
}
void Md5::update(const void* data, size_t length) { MD5_Update(static_cast<MD5_CTX*>(ctx_), data, length); }
void Md5::final(uint8_t out[kMd5Size]) { MD5_Final(out, static_cast<MD5_CTX*>(ctx_)); }

void secure_wipe(void* data, size_t length) { OPENSSL_cleanse(data, length); }
