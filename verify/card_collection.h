// The card collection behind velix_cards: the public keys of the collection's
// cards, found by serial.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "verify/rsa_public_key.h"
#include "verify/velixverify.h"

struct PublicCard {
  uint32_t serial;
  char user_id[24];  // from the card's user ID packet
  std::unique_ptr<RsaPublicKey> key;
};

struct velix_cards {
  std::unordered_map<uint32_t, PublicCard> by_serial;
};

constexpr size_t kMaxCardDataBlock = 16 * 1024;

// What a document's name line shows of a user ID: its first 20 characters
// without trailing spaces, as the document reader returns it.
std::string name_line_text(const char* user_id);
