#include "core/rc5.h"

#include <algorithm>
#include <cstring>

#include "core/crypto.h"

namespace {

constexpr uint32_t kP32 = 0xB7E15163;  // Odd((e - 2) * 2^32)
constexpr uint32_t kQ32 = 0x9E3779B9;  // Odd((phi - 1) * 2^32)

uint32_t rotl(uint32_t x, uint32_t n) {
  n &= 31;
  return n == 0 ? x : (x << n) | (x >> (32 - n));
}

uint32_t rotr(uint32_t x, uint32_t n) {
  n &= 31;
  return n == 0 ? x : (x >> n) | (x << (32 - n));
}

// Blocks are two little-endian words.
uint32_t load_le(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void store_le(uint32_t v, uint8_t* p) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

Rc5Key::Rc5Key(const uint8_t* key, size_t key_length, int rounds)
    : rounds_(std::clamp(rounds, 0, kRc5MaxRounds)) {
  key_length = std::min(key_length, kRc5MaxKeyLength);
  // L: the key as little-endian words, at least one.
  const size_t c = std::max<size_t>(1, (key_length + 3) / 4);
  uint32_t l[(kRc5MaxKeyLength + 3) / 4] = {};
  for (size_t i = key_length; i-- > 0;) l[i / 4] = (l[i / 4] << 8) + key[i];

  const size_t t = 2 * static_cast<size_t>(rounds_) + 2;
  s_[0] = kP32;
  for (size_t i = 1; i < t; ++i) s_[i] = s_[i - 1] + kQ32;

  uint32_t a = 0, b = 0;
  size_t i = 0, j = 0;
  for (size_t k = 0; k < 3 * std::max(t, c); ++k) {
    a = s_[i] = rotl(s_[i] + a + b, 3);
    b = l[j] = rotl(l[j] + a + b, a + b);
    i = (i + 1) % t;
    j = (j + 1) % c;
  }
  secure_wipe(l, sizeof l);
}

Rc5Key::~Rc5Key() { secure_wipe(s_, sizeof s_); }

void Rc5Key::encrypt_block(const uint8_t in[kRc5BlockSize], uint8_t out[kRc5BlockSize]) const {
  uint32_t a = load_le(in) + s_[0];
  uint32_t b = load_le(in + 4) + s_[1];
  for (int i = 1; i <= rounds_; ++i) {
    a = rotl(a ^ b, b) + s_[2 * i];
    b = rotl(b ^ a, a) + s_[2 * i + 1];
  }
  store_le(a, out);
  store_le(b, out + 4);
}

void Rc5Key::decrypt_block(const uint8_t in[kRc5BlockSize], uint8_t out[kRc5BlockSize]) const {
  uint32_t a = load_le(in);
  uint32_t b = load_le(in + 4);
  for (int i = rounds_; i >= 1; --i) {
    b = rotr(b - s_[2 * i + 1], a) ^ a;
    a = rotr(a - s_[2 * i], b) ^ b;
  }
  store_le(a - s_[0], out);
  store_le(b - s_[1], out + 4);
}

void rc5_cbc_encrypt(const Rc5Key& key, uint8_t iv[kRc5BlockSize], const uint8_t* in,
                     uint8_t* out, size_t length) {
  uint8_t block[kRc5BlockSize];
  for (size_t pos = 0; pos + kRc5BlockSize <= length; pos += kRc5BlockSize) {
    for (size_t k = 0; k < kRc5BlockSize; ++k) block[k] = in[pos + k] ^ iv[k];
    key.encrypt_block(block, out + pos);
    std::memcpy(iv, out + pos, kRc5BlockSize);
  }
  secure_wipe(block, sizeof block);
}

void rc5_cbc_decrypt(const Rc5Key& key, uint8_t iv[kRc5BlockSize], const uint8_t* in,
                     uint8_t* out, size_t length) {
  uint8_t cipher[kRc5BlockSize], plain[kRc5BlockSize];
  for (size_t pos = 0; pos + kRc5BlockSize <= length; pos += kRc5BlockSize) {
    std::memcpy(cipher, in + pos, kRc5BlockSize);  // in may be out
    key.decrypt_block(cipher, plain);
    for (size_t k = 0; k < kRc5BlockSize; ++k) out[pos + k] = plain[k] ^ iv[k];
    std::memcpy(iv, cipher, kRc5BlockSize);
  }
  secure_wipe(plain, sizeof plain);
}
