// The crypto facade: the only place the core reaches the crypto library
// (digests, random bytes; big numbers in core/bignum.h).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kMd5Size = 16;
constexpr size_t kSha1Size = 20;
constexpr size_t kSha256Size = 32;

void md5(const void* data, size_t length, uint8_t out[kMd5Size]);
void sha1(const void* data, size_t length, uint8_t out[kSha1Size]);
// The signature journal's digest of a signed text or file.
void sha256(const void* data, size_t length, uint8_t out[kSha256Size]);

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  void update(const void* data, size_t length);
  void final(uint8_t out[kSha256Size]);

 private:
  void* ctx_;
};

// Incremental SHA-1 for texts assembled from several pieces.
class Sha1 {
 public:
  Sha1();
  ~Sha1();
  Sha1(const Sha1&) = delete;
  Sha1& operator=(const Sha1&) = delete;
  void update(const void* data, size_t length);
  void final(uint8_t out[kSha1Size]);

 private:
  void* ctx_;
};

// Incremental MD5.
class Md5 {
 public:
  Md5();
  ~Md5();
  Md5(const Md5&) = delete;
  Md5& operator=(const Md5&) = delete;
  void update(const void* data, size_t length);
  void final(uint8_t out[kMd5Size]);

 private:
  void* ctx_;
};

// Overwrites secret material in a way the compiler cannot drop.
void secure_wipe(void* data, size_t length);
