// Key cards: the short text issued to a user that holds the user ID and the
// serial number of the key to generate, guarded by a CRC-24.
#pragma once

#include <cstdint>

constexpr int kKeyCardUserIdMax = 20;

// Checks a key card and extracts its serial and user ID (user_id must hold at
// least 21 characters). length < 0: NUL-terminated. Returns 0, CORE_E_ARGS for
// absent result places, CORE_E_NOMEM, or CORE_E_KEYCARD for a malformed card, a
// check that does not match, or a serial outside 0..99999999.
int parse_key_card(const char* text, int length, uint32_t* serial, char* user_id);
