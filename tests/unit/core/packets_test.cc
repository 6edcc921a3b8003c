#include "core/packets.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> header_of(int type, size_t length) {
  std::vector<uint8_t> buffer(8);
  auto out = MemStream::for_writing(buffer.data(), buffer.size());
  write_packet_header(out, type, length);
  buffer.resize(out.position());
  return buffer;
}

TEST(PacketHeader, WriterPicksTheLengthCode) {
  using B = std::vector<uint8_t>;
  EXPECT_EQ(header_of(PACKET_SIGNATURE, 0x123), (B{0x89, 0x01, 0x23}));
  EXPECT_EQ(header_of(PACKET_SECRET_KEY, 0xFFFF), (B{0x95, 0xFF, 0xFF}));
  EXPECT_EQ(header_of(PACKET_PUBLIC_KEY, 0x10000), (B{0x9A, 0x00, 0x01, 0x00, 0x00}));
  EXPECT_EQ(header_of(PACKET_TRUST, 1), (B{0xB0, 0x01}));
  EXPECT_EQ(header_of(PACKET_USER_ID, 20), (B{0xB4, 0x14}));
  uint8_t buffer[8];
  auto out = MemStream::for_writing(buffer, sizeof buffer);
  EXPECT_EQ(codec_call([&] { write_packet_header(out, PACKET_USER_ID, 256); return 0; }), CORE_E_PACKET);
}

TEST(PacketHeader, ReaderRoundTripsAndRefusesMalformedHeaders) {
  const struct {
    std::vector<uint8_t> bytes;
    int code;
    int type;
    size_t length;
  } cases[] = {
      {{0x89, 0x00, 0x02, 0xAA, 0xBB}, 0, PACKET_SIGNATURE, 2},
      {{0xB0, 0x01, 0xC7}, 0, PACKET_TRUST, 1},
      {{0x9A, 0x00, 0x00, 0x00, 0x01, 0x00}, 0, PACKET_PUBLIC_KEY, 1},
      {{0xC9, 0x00, 0x00}, CORE_E_PACKET, 0, 0},        // bit 6 set
      {{0x09, 0x00, 0x00}, CORE_E_PACKET, 0, 0},        // bit 7 clear
      {{0x8B, 0x00, 0x00, 0x00, 0x00}, CORE_E_PACKET, 0, 0},  // length code 3
      {{0x89, 0x00, 0x03, 0xAA, 0xBB}, CORE_E_PACKET, 0, 0},  // body past the end
      // Cut inside the length bytes: short data, like any short read.
      {{0x89, 0x00}, CORE_E_NODATA, 0, 0},
      {{0x9A, 0x00, 0x00, 0x01}, CORE_E_NODATA, 0, 0},
      {{0xB0}, CORE_E_NODATA, 0, 0},
  };
  for (const auto& c : cases) {
    auto in = MemStream::for_reading(c.bytes.data(), c.bytes.size());
    PacketHeader header{};
    EXPECT_EQ(codec_call([&] { header = read_packet_header(in); return 0; }), c.code) << int(c.bytes[0]);
    if (c.code == 0) {
      EXPECT_EQ(header.type, c.type);
      EXPECT_EQ(header.length, c.length);
      EXPECT_EQ(in.remaining(), c.length);
    }
  }
}

TEST(PacketNumbers, BitCountAndBytes) {
  using B = std::vector<uint8_t>;
  const auto encode = [](B field) {
    B buffer(field.size() + 2);
    auto out = MemStream::for_writing(buffer.data(), buffer.size());
    write_number(out, field.data(), field.size());
    buffer.resize(out.position());
    return buffer;
  };
  EXPECT_EQ(encode({0, 0, 0}), (B{0, 0}));
  EXPECT_EQ(encode({0, 0, 1}), (B{0, 1, 1}));
  EXPECT_EQ(encode({0, 0x01, 0x00}), (B{0, 9, 0x01, 0x00}));
  EXPECT_EQ(encode({0x80, 0, 0}), (B{0, 24, 0x80, 0, 0}));
  B big(256, 0);
  big[0] = 0xC0;
  EXPECT_EQ(number_bits(big.data(), big.size()), 2048u);
  EXPECT_EQ(encode(big).size(), 258u);
}

TEST(WritePackets, SignatureThenTrust) {
  SignatureRecord signature{};
  signature.version = 3;
  signature.extras_length = 9;
  for (int i = 0; i < 9; ++i) signature.extras[i] = static_cast<uint8_t>(0x10 + i);
  signature.pk_algorithm = 1;
  signature.digest_algorithm = 1;
  signature.check[0] = 0xAB;
  signature.check[1] = 0xCD;
  signature.value[254] = 0x01;
  signature.value[255] = 0x02;

  std::vector<uint8_t> out(64);
  const int n = write_packets(out.data(), static_cast<int>(out.size()), &signature);
  const std::vector<uint8_t> expected = {
      0x89, 0x00, 0x13,                                       // signature, 19-byte body
      0x03, 0x09, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18,  // version, extras
      0x01, 0x01, 0xAB, 0xCD,                                 // algorithms, check bytes
      0x00, 0x09, 0x01, 0x02,                                 // 9-bit value
      0xB0, 0x01, 0xC7};                                      // trust
  ASSERT_EQ(n, static_cast<int>(expected.size()));
  out.resize(static_cast<size_t>(n));
  EXPECT_EQ(out, expected);
  EXPECT_EQ(write_packets(out.data(), n - 1, &signature), CORE_E_NOMEM);
  EXPECT_EQ(write_packets(nullptr, 64, &signature), CORE_E_ARGS);
}

}  // namespace
