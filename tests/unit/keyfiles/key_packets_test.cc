#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/core.h"
#include "core/key_packets.h"
#include "core/keycert_codec.h"

namespace {

// A record with distinctive numbers; the codec does not check their consistency.
KeyCertRecord sample_record(int type = kPacketSecretKey) {
  KeyCertRecord cert{};
  cert.version = 3;
  cert.packet_type = static_cast<int16_t>(type);
  cert.serial = 0x01020304;
  cert.creation_time = 0x5F000000;
  cert.algorithm = 1;
  for (int i = 0; i < 128; ++i) cert.n[128 + i] = static_cast<uint8_t>(i * 7 + 0x81);
  cert.modulus_bits = 1024;
  cert.e[255] = 0x01, cert.e[254] = 0x00, cert.e[253] = 0x01;
  if (type == kPacketSecretKey) {
    for (int i = 0; i < 127; ++i) cert.d[129 + i] = static_cast<uint8_t>(i * 3 + 1);
    for (int i = 0; i < 64; ++i) cert.p[64 + i] = static_cast<uint8_t>(0xC0 + i);
    for (int i = 0; i < 64; ++i) cert.q[64 + i] = static_cast<uint8_t>(0xE0 ^ i);
    for (int i = 0; i < 63; ++i) cert.u[193 + i] = static_cast<uint8_t>(i + 5);
  }
  return cert;
}

const uint8_t kBlock[8] = {1, 2, 3, 4, 5, 6, 7, 8};

std::vector<uint8_t> write(const KeyCertRecord& cert, const char* passphrase, const char* user_id = nullptr,
                           const uint8_t* block = kBlock, PacketSpan* span = nullptr) {
  std::vector<uint8_t> out(2048);
  const int n = write_packets(out.data(), static_cast<int>(out.size()), &cert, passphrase, block, user_id, span);
  EXPECT_GT(n, 0);
  out.resize(n > 0 ? n : 0);
  return out;
}

int read(const std::vector<uint8_t>& packets, const char* passphrase, KeyCertRecord* cert) {
  *cert = KeyCertRecord{};
  static const uint8_t kNothing = 0;
  return read_packets(packets.empty() ? &kNothing : packets.data(), static_cast<int>(packets.size()), cert, passphrase);
}

bool same_numbers(const KeyCertRecord& a, const KeyCertRecord& b) {
  return a.serial == b.serial && a.creation_time == b.creation_time && a.modulus_bits == b.modulus_bits &&
         !std::memcmp(a.n, b.n, 256) && !std::memcmp(a.e, b.e, 256) && !std::memcmp(a.d, b.d, 256) &&
         !std::memcmp(a.p, b.p, 128) && !std::memcmp(a.q, b.q, 128) && !std::memcmp(a.u, b.u, 256);
}

// The certificate body of a single-packet sequence (header 0x95/0x99 and 2 length bytes).
std::vector<uint8_t> body_of(const std::vector<uint8_t>& packets) {
  const size_t length = packets[1] << 8 | packets[2];
  return {packets.begin() + 3, packets.begin() + 3 + length};
}

std::vector<uint8_t> packet(uint8_t header, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> out(3 + body.size());
  out[0] = header;
  out[1] = static_cast<uint8_t>(body.size() >> 8);
  out[2] = static_cast<uint8_t>(body.size());
  std::copy(body.begin(), body.end(), out.begin() + 3);
  return out;
}

TEST(KeyPackets, PassphraseDecidesWhoCanRead) {
  const KeyCertRecord cert = sample_record();
  struct Case {
    const char* written_with;
    const char* read_with;
    int expected;
  };
  const Case cases[] = {
      {"", nullptr, 0},        {"", "", 0},           {nullptr, "", 0},
      {"", "any", CORE_E_PASSPHRASE},                 {"secret", "secret", 0},
      {"secret", "Secret", CORE_E_PASSPHRASE},        {"secret", "", CORE_E_PASSPHRASE},
      {"secret", nullptr, CORE_E_PASSPHRASE},         {"secret", "secret ", CORE_E_PASSPHRASE},
  };
  for (const auto& c : cases) {
    KeyCertRecord back;
    const std::string label = std::string(c.written_with ? c.written_with : "(null)") + " / " +
                              (c.read_with ? c.read_with : "(null)");
    EXPECT_EQ(read(write(cert, c.written_with), c.read_with, &back), c.expected) << label;
    if (c.expected == 0) {
      EXPECT_TRUE(same_numbers(cert, back)) << label;
      EXPECT_EQ(back.packet_type, kPacketSecretKey);
      EXPECT_EQ(back.algorithm, 1);
      EXPECT_EQ(back.version, 3);
    }
  }
}

TEST(KeyPackets, ProtectionByteInitialBlockAndClearChecksum) {
  const KeyCertRecord cert = sample_record();
  const std::vector<uint8_t> clear = body_of(write(cert, ""));
  const std::vector<uint8_t> protected_body = body_of(write(cert, "pw"));
  // 12 fixed bytes, n (2 + 128), e (2 + 3), then the protection byte.
  const size_t at = 12 + 130 + 5;
  EXPECT_EQ(clear[at], 0);
  EXPECT_EQ(protected_body[at], 1);
  ASSERT_EQ(protected_body.size(), clear.size() + 8);
  // Bit counts stay in clear; the checksum is over the clear numbers.
  EXPECT_EQ(protected_body[at + 9], clear[at + 1]);
  EXPECT_EQ(protected_body[at + 10], clear[at + 2]);
  EXPECT_EQ(0, std::memcmp(&protected_body[protected_body.size() - 2], &clear[clear.size() - 2], 2));
  uint16_t sum = 0;
  for (size_t i = at + 1; i < clear.size() - 2; ++i) sum = static_cast<uint16_t>(sum + clear[i]);
  EXPECT_EQ(clear[clear.size() - 2] << 8 | clear.back(), sum);
  // Value bytes are enciphered.
  EXPECT_NE(0, std::memcmp(&protected_body[at + 11], &clear[at + 3], 127));
}

TEST(KeyPackets, InitialBlockChangesTheCiphertextNotTheKey) {
  const KeyCertRecord cert = sample_record();
  const uint8_t other[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  const auto a = write(cert, "pw"), b = write(cert, "pw", nullptr, other);
  EXPECT_NE(a, b);
  KeyCertRecord back;
  ASSERT_EQ(read(b, "pw", &back), 0);
  EXPECT_TRUE(same_numbers(cert, back));
}

TEST(KeyPackets, PublicCertificateSequence) {
  const KeyCertRecord cert = sample_record(kPacketPublicKey);
  PacketSpan span{-1, -1};
  const auto packets = write(cert, "ignored", "Test User", kBlock, &span);
  ASSERT_EQ(packets[0], 0x99);
  const size_t body_length = packets[1] << 8 | packets[2];
  EXPECT_EQ(body_length, 12u + (2 + 128) + (2 + 3));
  EXPECT_EQ(span.offset, 0);
  EXPECT_EQ(span.length, static_cast<int>(3 + body_length));
  const std::vector<uint8_t> tail(packets.begin() + 3 + body_length, packets.end());
  const std::vector<uint8_t> expected = {0xB0, 1,   0x87, 0xB4, 9,   'T', 'e', 's',
                                         't',  ' ', 'U',  's',  'e', 'r', 0xB0, 1, 0x03};
  EXPECT_EQ(tail, expected);
  KeyCertRecord back;
  ASSERT_EQ(read(packets, nullptr, &back), 0);
  EXPECT_EQ(back.packet_type, kPacketPublicKey);
  EXPECT_TRUE(same_numbers(cert, back));
}

TEST(KeyPackets, SecretSequenceHasUserIdWithoutTrust) {
  const auto packets = write(sample_record(), "", "ab");
  ASSERT_EQ(packets[0], 0x95);
  const size_t body_length = packets[1] << 8 | packets[2];
  const std::vector<uint8_t> tail(packets.begin() + 3 + body_length, packets.end());
  EXPECT_EQ(tail, (std::vector<uint8_t>{0xB4, 2, 'a', 'b'}));
}

TEST(KeyPackets, OtherPacketsAreSkipped) {
  const auto cert_packets = write(sample_record(), "pw");
  std::vector<uint8_t> data = {0xB4, 3, 'x', 'y', 'z', 0x8A, 0, 0, 0, 2, 0xAA, 0xBB};  // user ID, 4-byte length
  data.insert(data.end(), cert_packets.begin(), cert_packets.end());
  data.insert(data.end(), {0xB0, 1, 0xC7});
  KeyCertRecord back;
  ASSERT_EQ(read(data, "pw", &back), 0);
  EXPECT_TRUE(same_numbers(sample_record(), back));
}

TEST(KeyPackets, MalformedHeaders) {
  const auto good = write(sample_record(), "");
  KeyCertRecord back;
  struct Case {
    std::vector<uint8_t> data;
    int expected;
  };
  std::vector<uint8_t> too_long = good;
  too_long[2] += 1;
  const Case cases[] = {
      {{0xC9, 1, 0}, CORE_E_PACKET},        // bit 6 set
      {{0x35, 1, 0}, CORE_E_PACKET},        // bit 7 clear
      {{0xB3, 1, 0}, CORE_E_PACKET},        // length code 3
      {too_long, CORE_E_PACKET},            // body runs past the data
      {{0xB4, 5, 'a'}, CORE_E_PACKET},
      {{0x95, 0}, CORE_E_NODATA},           // cut inside the length bytes: short data
      {{}, 0},                              // nothing to read
  };
  for (const auto& c : cases) EXPECT_EQ(read(c.data, nullptr, &back), c.expected);
}

TEST(KeyPackets, MalformedCertificateBodies) {
  const std::vector<uint8_t> body = body_of(write(sample_record(), ""));
  const size_t protection_at = 12 + 130 + 5;
  auto changed = [&](size_t at, uint8_t value) {
    std::vector<uint8_t> b = body;
    b[at] = value;
    return packet(0x95, b);
  };
  KeyCertRecord back;
  EXPECT_EQ(read(changed(11, 2), nullptr, &back), CORE_E_ALG);             // algorithm 2
  EXPECT_EQ(read(changed(protection_at, 2), nullptr, &back), CORE_E_ALG);  // protection 2
  EXPECT_EQ(read(changed(protection_at + 10, 0x55), nullptr, &back), CORE_E_PASSPHRASE);  // damaged d
  // n declaring 2049 bits, and a number with no value bytes.
  std::vector<uint8_t> big = {3, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0x08, 0x01};
  big.resize(big.size() + 257, 0xFF);
  EXPECT_EQ(read(packet(0x99, big), nullptr, &back), CORE_E_KEYLEN);
  std::vector<uint8_t> empty_e = {3, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0x00, 0x08, 0xC5, 0x00, 0x00};
  EXPECT_EQ(read(packet(0x99, empty_e), nullptr, &back), CORE_E_KEYLEN);
  // Every shortened body ends early.
  for (size_t length = 0; length < body.size(); ++length) {
    const std::vector<uint8_t> cut(body.begin(), body.begin() + length);
    EXPECT_EQ(read(packet(0x95, cut), nullptr, &back), CORE_E_NODATA) << length;
  }
  const std::vector<uint8_t> protected_body = body_of(write(sample_record(), "pw"));
  for (size_t length = 0; length < protected_body.size(); length += 7) {
    const std::vector<uint8_t> cut(protected_body.begin(), protected_body.begin() + length);
    EXPECT_EQ(read(packet(0x95, cut), "pw", &back), CORE_E_NODATA) << length;
  }
}

TEST(KeyPackets, WriterReportsOverflow) {
  const KeyCertRecord cert = sample_record();
  std::vector<uint8_t> out(100);
  EXPECT_EQ(write_packets(out.data(), 100, &cert, "", kBlock, nullptr, nullptr), CORE_E_NOMEM);
}

}  // namespace
