// The armored signature of a signed document, a detached signature or a key
// card's certification, taken apart: the signature packet's fields, with every
// length checked against the bytes that are really there.
#pragma once

#include <cstddef>
#include <cstdint>

#include "verify/velixverify.h"

// A signature with a 2048-bit key armors to about 400 characters.
constexpr size_t kMaxSignatureBlock = 4096;
// Decoding yields at most 3 bytes for every 4 characters.
constexpr size_t kMaxSignaturePackets = kMaxSignatureBlock / 4 * 3 + 3;

constexpr uint8_t kDataSignatureClass = 0x01;
constexpr uint8_t kKeyCertificationClass = 0x10;

struct ParsedSignature {
  uint32_t serial;
  uint32_t time;
  uint8_t extras[9];     // class, serial, time: hashed after the signed bytes
  uint8_t check[2];      // the first two digest bytes
  uint8_t value[256];    // the RSA value, as many bytes as value_length says
  size_t value_length;
  uint8_t packets[kMaxSignaturePackets];  // the decoded packets, to compare with the signer's armor
  size_t packets_length;
};

// Reads the armored block (at most kMaxSignatureBlock characters). Only a
// version 3 signature of the given class made with RSA over MD5 is accepted,
// framed as the signer frames it: the signature packet and its trust packet,
// nothing else, and nothing but blanks after the check line.
velix_status parse_signature_block(const char* block, size_t length, uint8_t signature_class, ParsedSignature* out);
