// The armored signature of a signed document or a detached signature, taken
// apart: the signature packet's fields, with every length checked against the
// bytes that are really there.
#pragma once

#include <cstddef>
#include <cstdint>

#include "verify/velixverify.h"

struct ParsedSignature {
  uint32_t serial;
  uint32_t time;
  uint8_t extras[9];     // class, serial, time: hashed after the signed bytes
  uint8_t check[2];      // the first two digest bytes
  uint8_t value[256];    // the RSA value, as many bytes as value_length says
  size_t value_length;
};

// Reads the armored block (at most kMaxSignatureBlock characters). Only a
// version 3 data signature (class 0x01) made with RSA over MD5 is accepted.
velix_status parse_signature_block(const char* block, size_t length, ParsedSignature* out);

// A signature with a 2048-bit key armors to about 400 characters.
constexpr size_t kMaxSignatureBlock = 4096;
