// IDEA in 64-bit cipher feedback mode with resynchronisation: the protection
// of the secret numbers of a key certificate under a passphrase.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/idea.h"

struct IdeaCfbContext {
  uint8_t previous_register[kIdeaBlockSize];  // the register before the last block encryption
  uint8_t feedback[kIdeaBlockSize];           // the feedback register
  uint16_t key_schedule[kIdeaSubkeyCount];
  int bytes_left;                             // unused bytes of the current keystream block
};

// Sets up a context keyed with MD5 of the passphrase's bytes. An absent or
// empty passphrase means no protection: returns false and leaves ctx cleared.
bool idea_cfb_setup(IdeaCfbContext* ctx, const char* passphrase);

void idea_cfb_encipher(IdeaCfbContext* ctx, uint8_t* data, size_t length);
void idea_cfb_decipher(IdeaCfbContext* ctx, uint8_t* data, size_t length);

// Realigns the register on the ciphertext stream so that the next byte starts
// a fresh keystream block.
void idea_cfb_resync(IdeaCfbContext* ctx);

// Wipes the context.
void idea_cfb_clear(IdeaCfbContext* ctx);
