#include "core/armor.h"

#include <cstring>

#include "core/base64.h"

namespace {

constexpr uint32_t kCrc24Poly = 0x1864CFB;
constexpr uint32_t kCrc24Mask = 0xFFFFFF;
constexpr int kLineLength = 64;

uint32_t g_crc24_table[256];
bool g_crc24_table_ready = false;

// The CRC register after shifting one byte through it, most significant bit first.
uint32_t crc24_shift_byte(uint32_t crc, uint8_t byte) {
  crc ^= static_cast<uint32_t>(byte) << 16;
  for (int bit = 0; bit < 8; ++bit) {
    crc <<= 1;
    if (crc & 0x1000000) crc ^= kCrc24Poly;
  }
  return crc & kCrc24Mask;
}

// Decodes 4 characters into up to 3 bytes; returns the number of bytes the
// group yields, or -1 when a character the group needs is not in the alphabet.
int decode_group(const uint8_t* chars, uint8_t* out) {
  const int yield = chars[2] == '=' ? 1 : chars[3] == '=' ? 2 : 3;
  uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) {
    int value = 0;
    if (i <= yield) {
      value = base64_value(chars[i]);
      if (value < 0) return -1;
    }
    bits = (bits << 6) | static_cast<uint32_t>(value);
  }
  for (int i = 0; i < yield; ++i) out[i] = static_cast<uint8_t>(bits >> (16 - 8 * i));
  return yield;
}

bool is_blank(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == 0; }

}  // namespace

void crc24_init_table() {
  for (uint32_t i = 0; i < 256; ++i) g_crc24_table[i] = crc24_shift_byte(0, static_cast<uint8_t>(i));
  g_crc24_table_ready = true;
}

uint32_t crc24_bitwise(uint32_t crc, const uint8_t* data, size_t length) {
  for (size_t i = 0; i < length; ++i) crc = crc24_shift_byte(crc, data[i]);
  return crc & kCrc24Mask;
}

uint32_t crc24(uint32_t crc, const uint8_t* data, size_t length) {
  if (!g_crc24_table_ready) return crc24_bitwise(crc, data, length);
  crc &= kCrc24Mask;
  for (size_t i = 0; i < length; ++i) crc = ((crc << 8) ^ g_crc24_table[((crc >> 16) ^ data[i]) & 0xFF]) & kCrc24Mask;
  return crc;
}

int armor_encode(const uint8_t* data, int length, char* out, int capacity) {
  if (out == nullptr || capacity < 1 || length < 0 || (data == nullptr && length > 0)) return -1;
  out[0] = '\0';
  uint32_t crc = kCrc24Init;
  int written = 0;
  int line = 0;
  int pos = 0;
  const auto room = [&] { return capacity - written; };
  while (length - pos >= 3) {
    if (room() < 4) return -1;
    base64_encode_group(data + pos, 3, out + written);
    written += 4;
    crc = crc24(crc, data + pos, 3);
    pos += 3;
    line += 4;
    if (line == kLineLength) {
      if (room() < 2) return -1;
      out[written++] = '\r';
      out[written++] = '\n';
      line = 0;
    }
  }
  if (const int rest = length - pos; rest > 0) {
    if (room() < 4) return -1;
    base64_encode_group(data + pos, rest, out + written);
    written += 4;
    crc = crc24(crc, data + pos, static_cast<size_t>(rest));
    line += 4;
  }
  if (line != 0) {
    if (room() < 2) return -1;
    out[written++] = '\r';
    out[written++] = '\n';
  }
  if (room() < 6) return -1;
  const uint8_t crc_bytes[3] = {static_cast<uint8_t>(crc >> 16), static_cast<uint8_t>(crc >> 8),
                                static_cast<uint8_t>(crc)};
  out[written++] = '=';
  base64_encode_group(crc_bytes, 3, out + written);
  written += 4;
  out[written] = '\0';
  return written;
}

int armor_decode(const char* text, int length, uint8_t* out, int capacity) {
  if (text == nullptr) return -1;
  const size_t size = length < 0 ? std::strlen(text) : static_cast<size_t>(length);
  if (size == 0 || capacity < 0 || (out == nullptr && capacity > 0)) return -1;
  const auto* input = reinterpret_cast<const uint8_t*>(text);

  uint32_t crc = kCrc24Init;
  uint8_t group[4];
  int group_size = 0;
  uint8_t check[4];
  int check_size = 0;
  bool line_start = true;
  bool check_seen = false;
  int written = 0;

  for (size_t i = 0; i < size; ++i) {
    const uint8_t c = input[i];
    if (c >= 0x80) return -1;
    if (is_blank(c)) continue;
    if (c == '\n') {
      line_start = true;
      continue;
    }
    if (check_seen) {
      if (line_start) break;  // text after the check line is not ours
      if (check_size == 4) return -1;
      check[check_size++] = c;
      continue;
    }
    if (line_start) {
      line_start = false;
      if (c == '=') {
        check_seen = true;
        continue;
      }
    }
    group[group_size++] = c;
    if (group_size == 4) {
      // Room for a whole group is required even when it yields fewer bytes.
      if (capacity - written < 3) return -1;
      const int yield = decode_group(group, out + written);
      if (yield < 0) return -1;
      crc = crc24(crc, out + written, static_cast<size_t>(yield));
      written += yield;
      group_size = 0;
    }
  }
  if (group_size != 0 || check_size != 4) return -1;
  uint8_t expected[3];
  // The check value is a full group: three bytes, no padding.
  if (check[2] == '=' || check[3] == '=' || decode_group(check, expected) != 3) return -1;
  const uint32_t stored = (static_cast<uint32_t>(expected[0]) << 16) | (expected[1] << 8) | expected[2];
  return stored == (crc & kCrc24Mask) ? written : -1;
}
