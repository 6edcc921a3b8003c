#include "core/idea_cfb.h"

#include <cstring>

#include "core/crypto.h"

namespace {

// Returns the keystream byte for the next position, refilling the block first
// when it is used up.
uint8_t* next_register_byte(IdeaCfbContext* ctx) {
  if (ctx->bytes_left == 0) {
    std::memcpy(ctx->previous_register, ctx->feedback, kIdeaBlockSize);
    idea_encrypt_block(ctx->key_schedule, ctx->feedback, ctx->feedback);
    ctx->bytes_left = kIdeaBlockSize;
  }
  uint8_t* slot = &ctx->feedback[kIdeaBlockSize - ctx->bytes_left];
  --ctx->bytes_left;
  return slot;
}

}  // namespace

bool idea_cfb_setup(IdeaCfbContext* ctx, const char* passphrase) {
  std::memset(ctx, 0, sizeof *ctx);
  if (passphrase == nullptr || passphrase[0] == '\0') return false;
  uint8_t digest[kMd5Size];
  md5(passphrase, std::strlen(passphrase), digest);
  idea_expand_key(digest, ctx->key_schedule);
  secure_wipe(digest, sizeof digest);
  return true;
}

void idea_cfb_encipher(IdeaCfbContext* ctx, uint8_t* data, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    uint8_t* slot = next_register_byte(ctx);
    data[i] ^= *slot;
    *slot = data[i];
  }
}

void idea_cfb_decipher(IdeaCfbContext* ctx, uint8_t* data, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    uint8_t* slot = next_register_byte(ctx);
    const uint8_t cipher = data[i];
    data[i] ^= *slot;
    *slot = cipher;
  }
}

void idea_cfb_resync(IdeaCfbContext* ctx) {
  const int left = ctx->bytes_left;
  if (left == 0) return;
  std::memmove(ctx->feedback + left, ctx->feedback, kIdeaBlockSize - left);
  std::memcpy(ctx->feedback, ctx->previous_register + kIdeaBlockSize - left, left);
  ctx->bytes_left = 0;
}

void idea_cfb_clear(IdeaCfbContext* ctx) { secure_wipe(ctx, sizeof *ctx); }
