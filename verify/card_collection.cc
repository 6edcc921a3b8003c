#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/armor.h"
#include "core/document.h"
#include "core/key_packets.h"
#include "core/keycert.h"
#include "verify/card_collection.h"
#include "verify/library_setup.h"

namespace {

bool only_blanks(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (text[i] != ' ' && text[i] != '\t' && text[i] != '\r' && text[i] != '\n') return false;
  return true;
}

// The public key of one "NS" document; its certification is not checked (the
// collection is the server's own, trusted list).
bool read_card(const DocumentRecord& doc, PublicCard* card) {
  if (std::strcmp(doc.type, "NS") != 0) return false;
  if (doc.data_length <= 0 || static_cast<size_t>(doc.data_length) > kMaxCardDataBlock) return false;
  std::vector<uint8_t> packets(static_cast<size_t>(doc.data_length) + 1);
  const int decoded =
      armor_decode(doc.data, doc.data_length, packets.data(), static_cast<int>(packets.size()));
  if (decoded <= 0) return false;
  KeyCertRecord cert{};
  if (read_packets(packets.data(), decoded, &cert, nullptr) != 0) return false;
  if (cert.packet_type != 6 || cert.serial != doc.serial1) return false;
  card->serial = cert.serial;
  std::memcpy(card->user_id, doc.name1, sizeof card->user_id);
  card->user_id[sizeof card->user_id - 1] = '\0';
  card->key = RsaPublicKey::from_fields(cert.n, sizeof cert.n, cert.e, sizeof cert.e);
  return card->key != nullptr;
}

velix_status load(const char* text, size_t length, velix_cards* cards) {
  if (length > static_cast<size_t>(INT_MAX)) return VELIX_E_TOO_LARGE;
  size_t offset = 0;
  while (offset < length) {
    if (only_blanks(text + offset, length - offset)) break;
    DocumentRecord doc{};
    const int used = read_document(text + offset, static_cast<int>(length - offset), &doc);
    if (used <= 0) return VELIX_E_CARDS;
    PublicCard card{};
    if (!read_card(doc, &card)) return VELIX_E_CARDS;
    const uint32_t serial = card.serial;
    cards->by_serial.insert_or_assign(serial, std::move(card));
    offset += static_cast<size_t>(used);
  }
  return cards->by_serial.empty() ? VELIX_E_CARDS : VELIX_OK;
}

}  // namespace

extern "C" velix_status velix_cards_load(const char* text, size_t length, velix_cards** cards) {
  if (cards == nullptr) return VELIX_E_ARGS;
  *cards = nullptr;
  if (text == nullptr) return VELIX_E_ARGS;
  prepare_library();
  try {
    auto loaded = std::make_unique<velix_cards>();
    const velix_status status = load(text, length, loaded.get());
    if (status == VELIX_OK) *cards = loaded.release();
    return status;
  } catch (const std::bad_alloc&) {
    return VELIX_E_NOMEM;
  }
}

extern "C" void velix_cards_free(velix_cards* cards) { delete cards; }

extern "C" size_t velix_cards_count(const velix_cards* cards) {
  return cards == nullptr ? 0 : cards->by_serial.size();
}
