// Helpers shared by the key file sources: identity fields of certificates,
// user ID fields, key file replacement and the clock.
#pragma once

#include <cstddef>
#include <cstring>

#include "core/core.h"
#include "core/keycert.h"

// Fills the fields of a certificate that come from the handle: version 3, the
// packet type, the handle's serial and user ID (at most 20 characters),
// algorithm 1.
void fill_certificate_identity(KeyCertRecord* cert, int packet_type, const KeyHandle* key);

constexpr size_t kFileKeyUserIdMax = 20;

// Copies a user ID into a fixed field: at most max characters, the rest of
// the field zero (max < field_size).
inline void copy_user_id(char* field, size_t field_size, const char* user_id, size_t max = kFileKeyUserIdMax) {
  std::memset(field, 0, field_size);
  std::memcpy(field, user_id, strnlen(user_id, max));
}

// Replaces a key file with data once all of it is ready: 0, or
// CORE_E_CREATE_FILE when the file cannot be made, CORE_E_WRITE_FILE when
// its bytes cannot be written. The old file stays as it was on failure.
int replace_key_file(const char* path, const void* data, size_t length);

// Seconds since 1970-01-01 UTC, cut to 32 bits.
uint32_t current_time32();
