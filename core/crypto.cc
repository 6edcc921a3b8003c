#include "core/crypto.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

namespace {

void digest(const EVP_MD* md, const void* data, size_t length, uint8_t* out) {
  unsigned int size = 0;
  EVP_Digest(data, length, out, &size, md, nullptr);
}

EVP_MD_CTX* new_ctx(const EVP_MD* md) {
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  EVP_DigestInit_ex(ctx, md, nullptr);
  return ctx;
}

}  // namespace

void md5(const void* data, size_t length, uint8_t out[kMd5Size]) { digest(EVP_md5(), data, length, out); }
void sha1(const void* data, size_t length, uint8_t out[kSha1Size]) { digest(EVP_sha1(), data, length, out); }

Sha1::Sha1() : ctx_(new_ctx(EVP_sha1())) {}
Sha1::~Sha1() { EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(ctx_)); }
void Sha1::update(const void* data, size_t length) { EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(ctx_), data, length); }
void Sha1::final(uint8_t out[kSha1Size]) { EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(ctx_), out, nullptr); }

Md5::Md5() : ctx_(new_ctx(EVP_md5())) {}
Md5::~Md5() { EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(ctx_)); }
void Md5::update(const void* data, size_t length) { EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(ctx_), data, length); }
void Md5::final(uint8_t out[kMd5Size]) { EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(ctx_), out, nullptr); }

void secure_wipe(void* data, size_t length) { OPENSSL_cleanse(data, length); }
