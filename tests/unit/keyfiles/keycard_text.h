// Builds key card texts for tests and fixtures.
#pragma once

#include <cstdint>
#include <string>

#include "core/armor.h"

namespace testing_keycard {

inline std::string base64_group(uint32_t value) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string group;
  for (int shift = 18; shift >= 0; shift -= 6) group += kAlphabet[value >> shift & 63];
  return group;
}

// The card body without its check, and the whole card.
inline std::string card_body(const std::string& user_id, const std::string& serial) {
  return "Version: 01\r\nUser ID: " + user_id + "\r\nUser Key: " + serial;
}

// Appends "=" and the base64 CRC-24 of the text.
inline std::string with_check(const std::string& body) {
  const uint32_t crc = crc24(kCrc24Init, reinterpret_cast<const uint8_t*>(body.data()), body.size()) & 0xFFFFFF;
  return body + "=" + base64_group(crc);
}

inline std::string make_key_card(const std::string& user_id, const std::string& serial) {
  return with_check(card_body(user_id, serial));
}

}  // namespace testing_keycard
