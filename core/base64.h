// The standard base64 alphabet (A-Z, a-z, 0-9, "+", "/") with "=" padding,
// shared by the ASCII armor, key cards and the AUTH line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The value of an alphabet character, or -1.
int base64_value(uint8_t c);

// The 4 characters of up to 3 bytes (count 1 to 3), padded with "=".
void base64_encode_group(const uint8_t* bytes, int count, char out[4]);

// The whole of data, without line breaks.
std::string base64_encode(const uint8_t* data, size_t length);
