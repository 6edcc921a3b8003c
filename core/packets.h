// Binary packets: the framing shared by signatures and key certificates, and
// the signature packet.
//
// A packet is a header byte (bit 7 set, bit 6 clear, bits 5..2 the type, bits
// 1..0 the length-of-length code: 0 = 1 byte, 1 = 2 bytes, 2 = 4 bytes), the
// big-endian body length, then the body. The header reader and writer below
// work on any MemStream, so the key certificate codecs use them as they are:
// read_packets (key certificates, in the key certificate sources) loops over
// read_packet_header() and parses each body through its own
// MemStream::for_reading(in.current(), header.length), so that a body read
// past its length aborts with CORE_E_NODATA; the key mode of write_packets
// builds each body in a scratch stream and emits it with write_packet().
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/memstream.h"

enum PacketType : int {
  PACKET_SIGNATURE = 2,
  PACKET_SECRET_KEY = 5,
  PACKET_PUBLIC_KEY = 6,
  PACKET_TRUST = 12,
  PACKET_USER_ID = 13,
};

constexpr uint8_t kSignatureTrust = 0xC7;  // body of the trust packet after a signature

struct PacketHeader {
  int type;
  size_t length;  // body length; never more than the bytes left in the stream
};

// Writes a header: trust and user ID packets take one length byte, other
// types two bytes up to 65535 and four beyond. Aborts with CORE_E_PACKET for a
// trust or user ID body over 255 bytes.
void write_packet_header(MemStream& out, int type, size_t body_length);
// Header and body.
void write_packet(MemStream& out, int type, const void* body, size_t body_length);

// Reads a header; aborts with CORE_E_PACKET when bit 7 is clear or bit 6 set,
// for length code 3, or when the body would run past the stream's end.
PacketHeader read_packet_header(MemStream& in);

// The bit count of a right-aligned big-endian number field: the position of
// its highest set bit, 0 for an all-zero field.
unsigned number_bits(const uint8_t* field, size_t field_size);
// Writes a number: its 2-byte bit count, then ceil(bits / 8) bytes.
void write_number(MemStream& out, const uint8_t* field, size_t field_size);

constexpr size_t kSignatureValueSize = 256;
constexpr size_t kSignatureExtrasSize = 9;

// One signature in memory.
struct SignatureRecord {
  uint8_t version;          // 3
  uint8_t sig_class;        // 0x01 over a document's data, 0x10 key certification
  uint32_t serial;          // the signing key's serial
  char user_id[24];         // the signing key's user ID (not part of the packet)
  uint32_t time;            // seconds since 1970-01-01 UTC
  uint8_t extras[kSignatureExtrasSize];  // class, serial (BE), time (BE)
  uint8_t extras_length;    // 9
  uint8_t pk_algorithm;     // 1 RSA
  uint8_t digest_algorithm; // 1 MD5
  uint8_t check[2];         // the first two digest bytes
  uint8_t value[kSignatureValueSize];  // RSA signature value, right-aligned
};

// Signature mode: writes the signature packet and its trust packet into out.
// Returns the number of bytes written, CORE_E_ARGS, or the first abort's code
// (CORE_E_NOMEM when they do not fit).
int write_packets(uint8_t* out, int capacity, const SignatureRecord* signature);
