// IDEA, the 64-bit block cipher with a 128-bit key (8 rounds and an output
// transformation). Only encryption is needed: key files use it in cipher
// feedback mode, which deciphers with the encryption direction too.
#pragma once

#include <cstdint>

constexpr int kIdeaBlockSize = 8;
constexpr int kIdeaKeySize = 16;
constexpr int kIdeaSubkeyCount = 52;

// Expands a 16-byte key into the 52 encryption subkeys.
void idea_expand_key(const uint8_t key[kIdeaKeySize], uint16_t subkeys[kIdeaSubkeyCount]);

// Encrypts one 8-byte block; in and out may be the same buffer.
void idea_encrypt_block(const uint16_t subkeys[kIdeaSubkeyCount], const uint8_t in[kIdeaBlockSize],
                        uint8_t out[kIdeaBlockSize]);
