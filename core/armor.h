// ASCII armor: base64 lines of 64 characters closed by a CRC-24 check line
// ("=" and the four base64 characters of the CRC), lines broken with CR LF.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kCrc24Init = 0xB704CE;

// Builds the CRC-24 lookup table; core_init calls it.
void crc24_init_table();

// Feeds bytes into a running CRC-24 (start from kCrc24Init). The result is
// masked to 24 bits. Uses the lookup table once it is built, the bitwise
// register before that; both give the same values.
uint32_t crc24(uint32_t crc, const uint8_t* data, size_t length);
uint32_t crc24_bitwise(uint32_t crc, const uint8_t* data, size_t length);

// Armors length bytes into out (capacity bytes, NUL-terminated). Returns the
// number of characters written without the NUL, or -1 when it does not fit.
int armor_encode(const uint8_t* data, int length, char* out, int capacity);

// Decodes armored text (length < 0: NUL-terminated) into out. Blanks, CR and
// blank lines are tolerated; the check line is required and must match.
// Returns the number of bytes written, or -1 on any failure.
int armor_decode(const char* text, int length, uint8_t* out, int capacity);
