// MD5 on the stack: the check of one document allocates nothing for it. The
// hashed bytes are public, so nothing is wiped.
#pragma once

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/md5.h>

#include <cstddef>
#include <cstdint>

class StackMd5 {
 public:
  StackMd5() { MD5_Init(&ctx_); }
  StackMd5(const StackMd5&) = delete;
  StackMd5& operator=(const StackMd5&) = delete;
  void update(const void* data, size_t length) { MD5_Update(&ctx_, data, length); }
  void final(uint8_t out[MD5_DIGEST_LENGTH]) { MD5_Final(out, &ctx_); }

 private:
  MD5_CTX ctx_;
};
