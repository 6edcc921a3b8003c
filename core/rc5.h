// RC5-32 (32-bit words, 8-byte blocks) with a variable number of rounds and
// key length, and its CBC mode. Anchored key files are enciphered with
// RC5-32/12 under a 20-byte key; the crypto library we build against leaves
// RC5 out, so the algorithm is implemented here.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kRc5BlockSize = 8;
constexpr int kRc5MaxRounds = 255;
constexpr size_t kRc5MaxKeyLength = 255;

// The expanded key table S[0 .. 2r+1].
class Rc5Key {
 public:
  // Expands key (0 to 255 bytes) for rounds (0 to 255).
  Rc5Key(const uint8_t* key, size_t key_length, int rounds);
  ~Rc5Key();
  Rc5Key(const Rc5Key&) = delete;
  Rc5Key& operator=(const Rc5Key&) = delete;

  void encrypt_block(const uint8_t in[kRc5BlockSize], uint8_t out[kRc5BlockSize]) const;
  void decrypt_block(const uint8_t in[kRc5BlockSize], uint8_t out[kRc5BlockSize]) const;

 private:
  int rounds_;
  uint32_t s_[2 * kRc5MaxRounds + 2];
};

// CBC over length bytes, a multiple of the block size; in and out may be
// the same buffer. iv is updated to the last cipher block, so consecutive
// calls continue one chain.
void rc5_cbc_encrypt(const Rc5Key& key, uint8_t iv[kRc5BlockSize], const uint8_t* in,
                     uint8_t* out, size_t length);
void rc5_cbc_decrypt(const Rc5Key& key, uint8_t iv[kRc5BlockSize], const uint8_t* in,
                     uint8_t* out, size_t length);
