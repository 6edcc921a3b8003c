// Signatures: MD5 over the data (and a certified user ID) and the signature's
// extras, PKCS #1 DigestInfo signed by the key's engine, packed as an armored
// signature packet with its trust packet.
#pragma once

#include <cstdint>

#include "core/core.h"
#include "core/engine.h"
#include "core/packets.h"

// Signs data with the key through its engine. user_id is absent for document
// signatures and names the certified key for key certifications. record, when
// given, receives the signature. Returns the armored length, 0 when out is
// absent or capacity <= 0 (the signature is still made), or an error code.
int make_signature(const uint8_t* data, int length, KeyHandle* key, char* out, int capacity,
                   const char* user_id, SignatureRecord* record, const EngineEntry* engine);

// The clock that stamps signatures, in seconds since 1970. Tests replace it;
// nullptr restores the system clock.
using SigningClock = uint32_t (*)();
void set_signing_clock(SigningClock clock);
