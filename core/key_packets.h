// Packet sequences that carry key certificates: the reader of key documents
// and the key mode of the packet writer.
#pragma once

#include <cstdint>

#include "core/keycert.h"

// Where a packet lies in a written sequence, its header included.
struct PacketSpan {
  int offset;
  int length;
};

// Reads packets until the data is used up; key certificates (types 5 and 6)
// are read into cert with the passphrase, other packets are skipped. Returns 0,
// CORE_E_PACKET for a malformed header or length, or the certificate reader's
// code.
int read_packets(const uint8_t* data, int length, KeyCertRecord* cert, const char* passphrase);

// Key mode: writes the certificate packet (with a trust packet 0x87 for a
// public key), then the user ID packet if one is given (with a trust packet
// 0x03 for a public key). certificate, if given, receives where the
// certificate packet lies. Returns the bytes written or an error code.
int write_packets(uint8_t* out, int capacity, const KeyCertRecord* cert, const char* passphrase,
                  const uint8_t* initial_block, const char* user_id, PacketSpan* certificate);
