#include "core/armor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class Armor : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { crc24_init_table(); }

  static std::string encode(const std::vector<uint8_t>& data, int capacity = 4096) {
    std::string out(static_cast<size_t>(capacity), '\xAA');
    const int n = armor_encode(data.data(), static_cast<int>(data.size()), out.data(), capacity);
    if (n < 0) return "<fail>";
    EXPECT_EQ(out[static_cast<size_t>(n)], '\0');
    return out.substr(0, static_cast<size_t>(n));
  }

  // Decoded bytes, or nullopt-like marker of failure via the result code.
  static int decode(const std::string& text, std::vector<uint8_t>* out, int capacity = 4096) {
    out->assign(static_cast<size_t>(capacity), 0);
    const int n = armor_decode(text.data(), static_cast<int>(text.size()), out->data(), capacity);
    if (n >= 0) out->resize(static_cast<size_t>(n));
    return n;
  }
};

std::vector<uint8_t> bytes_of(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<uint8_t> pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 37 + 11);
  return v;
}

TEST_F(Armor, KnownVectors) {
  EXPECT_EQ(encode({}), "=twTO");
  EXPECT_EQ(encode(bytes_of("abc")), "YWJj\r\n=uhx7");
  EXPECT_EQ(crc24(kCrc24Init, nullptr, 0), 0xB704CEu);
}

TEST_F(Armor, TableAndBitwiseCrcAgree) {
  const auto data = pattern(1000);
  for (size_t n : {size_t{0}, size_t{1}, size_t{3}, size_t{257}, size_t{1000}})
    EXPECT_EQ(crc24(kCrc24Init, data.data(), n), crc24_bitwise(kCrc24Init, data.data(), n)) << n;
  // Feeding in pieces gives the same value as one call.
  EXPECT_EQ(crc24(crc24(kCrc24Init, data.data(), 10), data.data() + 10, 990),
            crc24_bitwise(kCrc24Init, data.data(), 1000));
}

TEST_F(Armor, LineLayout) {
  // 48 bytes fill exactly one line: no empty line before the check line.
  const std::string one_line = encode(pattern(48));
  ASSERT_EQ(one_line.size(), 64u + 2 + 5);
  EXPECT_EQ(one_line.substr(64, 3), "\r\n=");
  // 49 bytes: a full line, then a short one.
  const std::string two_lines = encode(pattern(49));
  ASSERT_EQ(two_lines.size(), 64u + 2 + 4 + 2 + 5);
  EXPECT_EQ(two_lines.substr(66, 6), "+w==\r\n");  // the last byte is 0xFB
  EXPECT_EQ(encode(bytes_of("ab")).substr(0, 4), "YWI=");
}

TEST_F(Armor, EncodeFailsWhenOneByteShort) {
  EXPECT_EQ(encode({}, 6), "=twTO");
  EXPECT_EQ(encode({}, 5), "<fail>");
  EXPECT_EQ(encode(bytes_of("abc"), 12), "YWJj\r\n=uhx7");
  EXPECT_EQ(encode(bytes_of("abc"), 11), "<fail>");
  EXPECT_EQ(encode(bytes_of("abc"), 5), "<fail>");
  EXPECT_EQ(encode(pattern(48), 64 + 2 + 6), encode(pattern(48)));
  EXPECT_EQ(encode(pattern(48), 64 + 1), "<fail>");
  char out[8];
  EXPECT_EQ(armor_encode(nullptr, 3, out, sizeof out), -1);
  EXPECT_EQ(armor_encode(nullptr, 0, out, 0), -1);
}

TEST_F(Armor, RoundTripsAndToleratesLayout) {
  for (size_t n : {size_t{1}, size_t{2}, size_t{3}, size_t{47}, size_t{48}, size_t{49}, size_t{200}}) {
    const auto data = pattern(n);
    std::vector<uint8_t> out;
    EXPECT_EQ(decode(encode(data), &out), static_cast<int>(n));
    EXPECT_EQ(out, data) << n;
  }
  const auto data = pattern(100);
  std::string loose;
  for (char c : encode(data)) {
    loose += c;
    if (c == '\n') loose += " \t\r\n\n  ";  // blanks and empty lines between the lines
  }
  std::vector<uint8_t> out;
  EXPECT_EQ(decode("\r\n  " + loose, &out), 100);
  EXPECT_EQ(out, data);
  // A NUL-terminated text is measured by the decoder.
  std::vector<uint8_t> buf(16);
  EXPECT_EQ(armor_decode("YWJj\r\n=uhx7", -1, buf.data(), 16), 3);
}

TEST_F(Armor, DecodeFailures) {
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"no check line", "YWJj\r\n"},
      {"check line of 5", "YWJj\r\n=uhx7A"},
      {"check line of 3", "YWJj\r\n=uhx"},
      {"wrong check", "YWJj\r\n=uhx8"},
      {"padded check", "YWJj\r\n=uh=="},
      {"not a multiple of 4", "YWJjY\r\n=uhx7"},
      {"high byte in data", "YW\xC3\xA9\r\n=uhx7"},
      {"high byte before check", "YWJj\r\n\x80=uhx7"},
      {"pad in first places", "=WJj\r\nYWJj\r\n=uhx7"},
      {"character outside alphabet", "YW-j\r\n=uhx7"},
      {"empty", ""},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> out;
    EXPECT_EQ(decode(c.text, &out), -1) << c.name;
  }
}

TEST_F(Armor, DecodeIgnoresTextAfterTheCheckLine) {
  std::vector<uint8_t> out;
  EXPECT_EQ(decode("YWJj\r\n=uhx7\r\nEND SIGNATURE\r\n\x80", &out), 3);
  EXPECT_EQ(out, bytes_of("abc"));
  // Blanks on the check line itself are skipped.
  EXPECT_EQ(decode("YWJj\r\n= uhx7 \r\n", &out), 3);
}

TEST_F(Armor, DecodeNeedsRoomForAWholeGroup) {
  const std::string one_byte = encode(bytes_of("a"));  // "YQ==" yields a single byte
  std::vector<uint8_t> out;
  EXPECT_EQ(decode(one_byte, &out, 2), -1);
  EXPECT_EQ(decode(one_byte, &out, 3), 1);
  const std::string four = encode(bytes_of("abcd"));
  EXPECT_EQ(decode(four, &out, 5), -1);
  EXPECT_EQ(decode(four, &out, 6), 4);
  EXPECT_EQ(out, bytes_of("abcd"));
}

TEST_F(Armor, PaddedGroupInTheMiddleYieldsFewerBytes) {
  // "YQ==" then "YWJj": the bytes a, a, b, c; the check covers them all.
  const std::vector<uint8_t> data = bytes_of("aabc");
  const uint32_t crc = crc24(kCrc24Init, data.data(), data.size());
  const uint8_t crc_bytes[3] = {uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)};
  std::string check = encode({crc_bytes, crc_bytes + 3}).substr(0, 4);  // base64 of the CRC
  std::vector<uint8_t> out;
  EXPECT_EQ(decode("YQ==YWJj\r\n=" + check, &out), 4);
  EXPECT_EQ(out, data);
}

}  // namespace
