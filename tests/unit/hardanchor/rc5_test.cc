#include "core/rc5.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> unhex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

std::string hex(const uint8_t* data, size_t length) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < length; ++i) {
    out += digits[data[i] >> 4];
    out += digits[data[i] & 15];
  }
  return out;
}

struct CbcVector {
  int rounds;
  const char* key;
  const char* iv;
  const char* plain;
  const char* cipher;
};

// The RC5-CBC test vectors published in RFC 2040
// (one block each; keys of 1 to 16 bytes, 0 to 16 rounds).
const CbcVector kCbcVectors[] = {
    {0, "00", "0000000000000000", "0000000000000000", "7a7bba4d79111d1e"},
    {0, "00", "0000000000000000", "ffffffffffffffff", "797bba4d78111d1e"},
    {0, "00", "0000000000000001", "0000000000000000", "7a7bba4d79111d1f"},
    {0, "00", "0000000000000000", "0000000000000001", "7a7bba4d79111d1f"},
    {0, "00", "0102030405060708", "1020304050607080", "8b9ded91ce7794a6"},
    {1, "11", "0000000000000000", "0000000000000000", "2f759fe7ad86a378"},
    {2, "00", "0000000000000000", "0000000000000000", "dca2694bf40e0788"},
    {2, "00000000", "0000000000000000", "0000000000000000", "dca2694bf40e0788"},
    {8, "00", "0000000000000000", "0000000000000000", "dcfe098577eca5ff"},
    {8, "00", "0102030405060708", "1020304050607080", "9646fb77638f9ca8"},
    {12, "00", "0102030405060708", "1020304050607080", "b2b3209db6594da4"},
    {16, "00", "0102030405060708", "1020304050607080", "545f7f32a5fc3836"},
    {8, "01020304", "0000000000000000", "ffffffffffffffff", "8285e7c1b5bc7402"},
    {12, "01020304", "0000000000000000", "ffffffffffffffff", "fc586f92f7080934"},
    {16, "01020304", "0000000000000000", "ffffffffffffffff", "cf270ef9717ff7c4"},
    {12, "0102030405060708", "0000000000000000", "ffffffffffffffff", "e493f1c1bb4d6e8c"},
    {8, "0102030405060708", "0102030405060708", "1020304050607080", "5c4c041e0f217ac3"},
    {12, "0102030405060708", "0102030405060708", "1020304050607080", "921f12485373b4f7"},
    {16, "0102030405060708", "0102030405060708", "1020304050607080", "5ba0ca6bbe7f5fad"},
    {8, "01020304050607081020304050607080", "0102030405060708", "1020304050607080", "c533771cd0110e63"},
    {12, "01020304050607081020304050607080", "0102030405060708", "1020304050607080", "294ddb46b3278d60"},
    {16, "01020304050607081020304050607080", "0102030405060708", "1020304050607080", "dad6bda9dfe8f7e8"},
    {12, "0102030405", "0000000000000000", "ffffffffffffffff", "97e0787837ed317f"},
    {8, "0102030405", "0000000000000000", "ffffffffffffffff", "7875dbf6738c6478"},
    {8, "0102030405", "7875dbf6738c6478", "0808080808080808", "8f34c3c681c99695"},
};

TEST(Rc5, CbcMatchesPublishedVectors) {
  for (const auto& v : kCbcVectors) {
    const auto key_bytes = unhex(v.key);
    const Rc5Key key(key_bytes.data(), key_bytes.size(), v.rounds);
    const auto plain = unhex(v.plain);
    auto iv = unhex(v.iv);
    uint8_t out[8];
    rc5_cbc_encrypt(key, iv.data(), plain.data(), out, 8);
    EXPECT_EQ(hex(out, 8), v.cipher) << "rounds " << v.rounds << " key " << v.key;

    auto iv2 = unhex(v.iv);
    uint8_t back[8];
    rc5_cbc_decrypt(key, iv2.data(), out, back, 8);
    EXPECT_EQ(hex(back, 8), v.plain) << "rounds " << v.rounds << " key " << v.key;
  }
}

// RC5-32/12 with 16-byte keys, each result the next plaintext (from the
// algorithm's original description).
TEST(Rc5, TwelveRoundBlocksMatchTheOriginalChain) {
  const char* keys[] = {"00000000000000000000000000000000", "915f4619be41b2516355a50110a9ce91",
                        "783348e75aeb0f2fd7b169bb8dc16787", "dc49db1375a5584f6485b413b5f12baf",
                        "5269f149d41ba0152497574d7f153125"};
  const char* ciphers[] = {"21a5dbee154b8f6d", "f7c013ac5b2b8952", "2f42b3b70369fc92",
                           "65c178b284d197cc", "eb44e415da319824"};
  auto block = unhex("0000000000000000");
  for (int i = 0; i < 5; ++i) {
    const auto k = unhex(keys[i]);
    const Rc5Key key(k.data(), k.size(), 12);
    uint8_t out[8];
    key.encrypt_block(block.data(), out);
    EXPECT_EQ(hex(out, 8), ciphers[i]) << i;
    uint8_t back[8];
    key.decrypt_block(out, back);
    EXPECT_EQ(hex(back, 8), hex(block.data(), 8)) << i;
    block.assign(out, out + 8);
  }
}

// A chain of several blocks with a 20-byte key, decrypted in place and in
// two calls that continue the chain.
TEST(Rc5, CbcChainsAcrossBlocksAndCalls) {
  uint8_t key_bytes[20];
  for (int i = 0; i < 20; ++i) key_bytes[i] = static_cast<uint8_t>(i * 7 + 1);
  const Rc5Key key(key_bytes, sizeof key_bytes, 12);
  uint8_t plain[32];
  for (int i = 0; i < 32; ++i) plain[i] = static_cast<uint8_t>(i < 16 ? 'A' : 'B');
  uint8_t iv[8] = {};
  uint8_t cipher[32];
  rc5_cbc_encrypt(key, iv, plain, cipher, 32);
  // Equal plaintext blocks give different cipher blocks in CBC.
  EXPECT_NE(hex(cipher, 8), hex(cipher + 8, 8));
  EXPECT_EQ(hex(iv, 8), hex(cipher + 24, 8));

  uint8_t buffer[32];
  std::copy(cipher, cipher + 32, buffer);
  uint8_t iv2[8] = {};
  rc5_cbc_decrypt(key, iv2, buffer, buffer, 16);
  rc5_cbc_decrypt(key, iv2, buffer + 16, buffer + 16, 16);
  EXPECT_EQ(hex(buffer, 32), hex(plain, 32));
}

}  // namespace
