// The check word that a public key card's certificate carries over its user ID.
#pragma once

#include <cstdint>

constexpr int kUserIdFieldSize = 20;

// CRC-16 (reflected, polynomial 0xA001) over the 20-byte user ID field, the
// characters followed by zero bytes; starts from 0xF7D6, no final XOR.
uint16_t user_id_check(const uint8_t field[kUserIdFieldSize]);
