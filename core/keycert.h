// KeyCertRecord: the in-memory key certificate through which file keys pass
// between the core and the engines.
#pragma once

#include <cstdint>

struct KeyCertRecord {
  int16_t version;        // 3
  int16_t packet_type;    // 5 secret key, 6 public key
  int16_t modulus_bits;
  uint32_t serial;
  char user_id[24];       // NUL-terminated, at most 20 characters, zero after the NUL
  uint32_t creation_time;
  uint16_t check_word;    // secret keys: 0; public key cards: the user ID check word
  int16_t algorithm;      // 1 = RSA
  // Big-endian numbers, right-aligned with leading zero bytes.
  uint8_t n[256];
  uint8_t e[256];
  uint8_t d[256];
  uint8_t p[128];         // the smaller prime
  uint8_t q[128];         // the larger prime
  uint8_t u[256];         // p^-1 mod q
};
