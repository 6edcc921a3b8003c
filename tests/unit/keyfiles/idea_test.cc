#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/idea.h"
#include "core/idea_cfb.h"

namespace {

std::vector<uint8_t> from_hex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

// The worked example of the cipher's designers: key 1..8 as 16-bit words.
const std::vector<uint8_t> kDesignersKey = from_hex("00010002000300040005000600070008");

TEST(Idea, KeyScheduleRotatesTheKeyBy25Bits) {
  uint16_t subkeys[kIdeaSubkeyCount];
  idea_expand_key(kDesignersKey.data(), subkeys);
  const uint16_t expected[16] = {1,      2,      3,      4,      5,      6,      7,      8,
                                 0x0400, 0x0600, 0x0800, 0x0a00, 0x0c00, 0x0e00, 0x1000, 0x0200};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(subkeys[i], expected[i]) << i;
  // Third group: rotated by another 25 bits.
  EXPECT_EQ(subkeys[16], 0x0010);
  EXPECT_EQ(subkeys[23], 0x000c);
}

TEST(Idea, DesignersTestVectors) {
  struct Case {
    const char* plain;
    const char* cipher;
  };
  const Case cases[] = {
      {"0000000100020003", "11fbed2b01986de5"},
      {"0102030405060708", "540e5fea18c2f8b1"},
      {"0019324b647d96af", "9f0a0ab6e10ced78"},
  };
  uint16_t subkeys[kIdeaSubkeyCount];
  idea_expand_key(kDesignersKey.data(), subkeys);
  for (const auto& c : cases) {
    std::vector<uint8_t> block = from_hex(c.plain);
    idea_encrypt_block(subkeys, block.data(), block.data());
    EXPECT_EQ(block, from_hex(c.cipher)) << c.plain;
  }
}

TEST(IdeaCfb, EmptyOrAbsentPassphraseMeansNoProtection) {
  IdeaCfbContext ctx;
  EXPECT_FALSE(idea_cfb_setup(&ctx, nullptr));
  EXPECT_FALSE(idea_cfb_setup(&ctx, ""));
  EXPECT_TRUE(idea_cfb_setup(&ctx, "x"));
}

TEST(IdeaCfb, KeyIsMd5OfThePassphrase) {
  IdeaCfbContext ctx;
  ASSERT_TRUE(idea_cfb_setup(&ctx, "abc"));
  uint16_t subkeys[kIdeaSubkeyCount];
  idea_expand_key(from_hex("900150983cd24fb0d6963f7d28e17f72").data(), subkeys);
  EXPECT_EQ(0, std::memcmp(subkeys, ctx.key_schedule, sizeof subkeys));
  EXPECT_EQ(ctx.bytes_left, 0);
}

TEST(IdeaCfb, FirstKeystreamBlockIsTheEncryptedZeroRegister) {
  IdeaCfbContext ctx;
  idea_cfb_setup(&ctx, "passphrase");
  uint8_t expected[8] = {};
  idea_encrypt_block(ctx.key_schedule, expected, expected);
  uint8_t data[8] = {};
  idea_cfb_encipher(&ctx, data, 8);
  EXPECT_EQ(0, std::memcmp(data, expected, 8));
  // Feedback: the second block's keystream is the encryption of the first ciphertext.
  idea_encrypt_block(ctx.key_schedule, expected, expected);
  uint8_t more[8] = {};
  idea_cfb_encipher(&ctx, more, 8);
  EXPECT_EQ(0, std::memcmp(more, expected, 8));
}

TEST(IdeaCfb, ResyncAlignsTheRegisterOnTheLastEightCiphertextBytes) {
  IdeaCfbContext ctx;
  idea_cfb_setup(&ctx, "secret");
  uint8_t data[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  idea_cfb_encipher(&ctx, data, 8);
  idea_cfb_resync(&ctx);  // nothing left: no change
  EXPECT_EQ(ctx.bytes_left, 0);
  idea_cfb_encipher(&ctx, data + 8, 3);
  EXPECT_EQ(ctx.bytes_left, 5);
  idea_cfb_resync(&ctx);
  EXPECT_EQ(ctx.bytes_left, 0);
  EXPECT_EQ(0, std::memcmp(ctx.feedback, data + 3, 8));
}

TEST(IdeaCfb, ResyncAfterAFewBytesCountsZeroBytesBeforeTheStream) {
  IdeaCfbContext ctx;
  idea_cfb_setup(&ctx, "secret");
  uint8_t data[3] = {7, 8, 9};
  idea_cfb_encipher(&ctx, data, 3);
  idea_cfb_resync(&ctx);
  const uint8_t expected[8] = {0, 0, 0, 0, 0, data[0], data[1], data[2]};
  EXPECT_EQ(0, std::memcmp(ctx.feedback, expected, 8));
}

TEST(IdeaCfb, DecipherUndoesEncipherWithTheSameResyncPoints) {
  std::vector<uint8_t> plain(300);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 37 + 1);
  const size_t pieces[] = {8, 129, 1, 64, 98};  // the shapes of a key's numbers
  std::vector<uint8_t> data = plain;
  IdeaCfbContext ctx;
  idea_cfb_setup(&ctx, "pass phrase");
  size_t at = 0;
  for (size_t piece : pieces) {
    idea_cfb_resync(&ctx);
    idea_cfb_encipher(&ctx, data.data() + at, piece);
    at += piece;
  }
  EXPECT_NE(data, plain);
  idea_cfb_setup(&ctx, "pass phrase");
  at = 0;
  for (size_t piece : pieces) {
    idea_cfb_resync(&ctx);
    idea_cfb_decipher(&ctx, data.data() + at, piece);
    at += piece;
  }
  EXPECT_EQ(data, plain);
  idea_cfb_clear(&ctx);
  const IdeaCfbContext zero{};
  EXPECT_EQ(0, std::memcmp(&ctx, &zero, sizeof ctx));
}

}  // namespace
