#include "core/idea.h"

#include "core/crypto.h"

namespace {

// Multiplication modulo 65537, where the word 0 stands for 65536.
uint16_t mul(uint16_t a, uint16_t b) {
  const uint32_t x = a == 0 ? 0x10000u : a;
  const uint32_t y = b == 0 ? 0x10000u : b;
  const uint64_t product = static_cast<uint64_t>(x) * y % 0x10001u;
  return static_cast<uint16_t>(product);  // 65536 wraps to 0, as it should
}

uint16_t load_word(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

void store_word(uint16_t word, uint8_t* bytes) {
  bytes[0] = static_cast<uint8_t>(word >> 8);
  bytes[1] = static_cast<uint8_t>(word);
}

}  // namespace

void idea_expand_key(const uint8_t key[kIdeaKeySize], uint16_t subkeys[kIdeaSubkeyCount]) {
  // The key as eight 16-bit words; each further group of eight subkeys is the
  // key rotated left by 25 bits from the previous group.
  uint16_t words[8];
  for (int i = 0; i < 8; ++i) words[i] = load_word(key + 2 * i);
  for (int i = 0; i < kIdeaSubkeyCount; ++i) {
    if (i > 0 && i % 8 == 0) {
      uint16_t rotated[8];
      for (int j = 0; j < 8; ++j) {
        const uint16_t high = words[(j + 1) % 8];
        const uint16_t low = words[(j + 2) % 8];
        rotated[j] = static_cast<uint16_t>(high << 9 | low >> 7);
      }
      for (int j = 0; j < 8; ++j) words[j] = rotated[j];
      secure_wipe(rotated, sizeof rotated);
    }
    subkeys[i] = words[i % 8];
  }
  secure_wipe(words, sizeof words);
}

void idea_encrypt_block(const uint16_t subkeys[kIdeaSubkeyCount], const uint8_t in[kIdeaBlockSize],
                        uint8_t out[kIdeaBlockSize]) {
  uint16_t x1 = load_word(in), x2 = load_word(in + 2), x3 = load_word(in + 4), x4 = load_word(in + 6);
  const uint16_t* k = subkeys;
  for (int round = 0; round < 8; ++round, k += 6) {
    x1 = mul(x1, k[0]);
    x2 = static_cast<uint16_t>(x2 + k[1]);
    x3 = static_cast<uint16_t>(x3 + k[2]);
    x4 = mul(x4, k[3]);
    const uint16_t t0 = mul(static_cast<uint16_t>(x1 ^ x3), k[4]);
    const uint16_t t1 = mul(static_cast<uint16_t>(t0 + (x2 ^ x4)), k[5]);
    const uint16_t t2 = static_cast<uint16_t>(t0 + t1);
    x1 ^= t1;
    x4 ^= t2;
    const uint16_t swapped = static_cast<uint16_t>(x2 ^ t2);
    x2 = static_cast<uint16_t>(x3 ^ t1);
    x3 = swapped;
  }
  // Output transformation; the last round's swap of the middle words is undone.
  store_word(mul(x1, k[0]), out);
  store_word(static_cast<uint16_t>(x3 + k[1]), out + 2);
  store_word(static_cast<uint16_t>(x2 + k[2]), out + 4);
  store_word(mul(x4, k[3]), out + 6);
}
