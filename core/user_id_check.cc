#include "core/user_id_check.h"

#include <array>

namespace {

constexpr std::array<uint16_t, 256> make_table() {
  std::array<uint16_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    uint16_t crc = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>(crc >> 1 ^ 0xA001) : crc >> 1;
    table[i] = crc;
  }
  return table;
}

constexpr std::array<uint16_t, 256> kTable = make_table();

}  // namespace

uint16_t user_id_check(const uint8_t field[kUserIdFieldSize]) {
  uint16_t crc = 0xF7D6;
  for (int i = 0; i < kUserIdFieldSize; ++i) crc = static_cast<uint16_t>(crc >> 8 ^ kTable[(crc ^ field[i]) & 0xFF]);
  return crc;
}
