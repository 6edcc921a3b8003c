// The body of a key certificate packet (type 5 secret key, 6 public key): the
// key's numbers, with the secret ones enciphered under the passphrase.
#pragma once

#include <cstdint>

#include "core/keycert.h"
#include "core/memstream.h"
#include "core/packets.h"

constexpr int kKeyCertVersion = 3;
constexpr int kPacketSecretKey = PACKET_SECRET_KEY;
constexpr int kPacketPublicKey = PACKET_PUBLIC_KEY;
constexpr int kInitialBlockSize = 8;

// Reads a packet body into cert. A non-empty passphrase deciphers the secret
// numbers. Aborts the codec call with CORE_E_NODATA (body too short),
// CORE_E_ALG (algorithm or protection byte), CORE_E_KEYLEN (a number empty or
// too long) or CORE_E_PASSPHRASE (protected key without passphrase, checksum
// mismatch).
void read_key_certificate(MemStream& body, int packet_type, KeyCertRecord* cert, const char* passphrase);

// Writes cert as a packet body; a non-empty passphrase protects the secret
// numbers, starting from the enciphered initial block. Aborts with the
// stream's codes when the body does not fit.
void write_key_certificate(MemStream& body, const KeyCertRecord* cert, const char* passphrase,
                           const uint8_t initial_block[kInitialBlockSize]);
