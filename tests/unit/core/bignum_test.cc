#include "core/bignum.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytes_of(const BigNum& number, size_t width) {
  Bytes out(width, 0xEE);
  EXPECT_TRUE(number.to_bytes(out.data(), width));
  return out;
}

TEST(BigNum, BytesAreBigEndianAndRightAligned) {
  const Bytes input = {0x00, 0x00, 0x01, 0x02, 0x03};
  const BigNum n = BigNum::from_bytes(input.data(), input.size());
  EXPECT_EQ(n.bits(), 17);
  EXPECT_EQ(n.byte_length(), 3u);
  EXPECT_EQ(bytes_of(n, 6), (Bytes{0, 0, 0, 1, 2, 3}));
  EXPECT_EQ(bytes_of(n, 3), (Bytes{1, 2, 3}));
  Bytes small(2, 0xEE);
  EXPECT_FALSE(n.to_bytes(small.data(), 2));
  EXPECT_EQ(small, Bytes(2, 0xEE));  // nothing written when it does not fit
  EXPECT_EQ(bytes_of(BigNum(), 2), (Bytes{0, 0}));
  BigNum negative;
  ASSERT_TRUE(bn::sub(negative, BigNum(1), BigNum(2)));
  EXPECT_TRUE(negative.is_negative());
  EXPECT_FALSE(negative.to_bytes(small.data(), 2));
}

TEST(BigNum, ArithmeticForKeyGeneration) {
  BnContext ctx;
  BigNum r, q;
  ASSERT_TRUE(bn::gcd(r, BigNum(84), BigNum(36), ctx));
  EXPECT_EQ(r.compare(BigNum(12)), 0);
  ASSERT_TRUE(bn::mod_inverse(r, BigNum(3), BigNum(7), ctx));
  EXPECT_EQ(r.compare(BigNum(5)), 0);
  EXPECT_FALSE(bn::mod_inverse(r, BigNum(6), BigNum(9), ctx));  // no inverse
  BigNum minus_five;
  ASSERT_TRUE(bn::sub(minus_five, BigNum(0), BigNum(5)));
  ASSERT_TRUE(bn::mod(r, minus_five, BigNum(7), ctx));
  EXPECT_EQ(r.compare(BigNum(2)), 0);
  EXPECT_FALSE(bn::mod(r, BigNum(5), BigNum(0), ctx));
  ASSERT_TRUE(bn::div(q, r, BigNum(100), BigNum(7), ctx));
  EXPECT_EQ(q.compare(BigNum(14)), 0);
  EXPECT_EQ(r.compare(BigNum(2)), 0);
  ASSERT_TRUE(bn::mod_exp_secret(r, BigNum(2), BigNum(11), BigNum(1001), nullptr, ctx));
  EXPECT_EQ(r.compare(BigNum(2048 % 1001)), 0);
  EXPECT_FALSE(bn::mod_exp_secret(r, BigNum(2), BigNum(11), BigNum(1000), nullptr, ctx));  // even modulus
}

TEST(BigNum, WordOperationsAndBits) {
  BigNum n;
  ASSERT_TRUE(n.set_bit(100));
  ASSERT_TRUE(n.set_bit(99));  // 3 x 2^99, the lower bound of a 101-bit prime search
  EXPECT_EQ(n.bits(), 101);
  EXPECT_EQ(n.mod_word(3), 0u);
  ASSERT_TRUE(n.add_word(7));
  EXPECT_EQ(n.mod_word(2), 1u);
  EXPECT_TRUE(n.is_odd());
  ASSERT_TRUE(n.sub_word(7));
  EXPECT_FALSE(n.is_odd());
  EXPECT_EQ(n.mod_word(0), 0xffffffffu);
  BigNum copy = n;
  ASSERT_TRUE(copy.add_word(1));
  EXPECT_EQ(copy.compare(n), 1);
  EXPECT_EQ(n.compare(copy), -1);
  BigNum moved = std::move(copy);
  EXPECT_TRUE(moved.is_odd());
  EXPECT_TRUE(BigNum(1).is_one());
  EXPECT_TRUE(BigNum().is_zero());
}

}  // namespace
