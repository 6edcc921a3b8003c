#include "verify/card_collection.h"

#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/armor.h"
#include "core/document.h"
#include "core/key_packets.h"
#include "core/keycert.h"
#include "core/packets.h"
#include "core/user_id_check.h"
#include "verify/blanks.h"
#include "verify/digest.h"
#include "verify/library_setup.h"
#include "verify/signature_check.h"

namespace {

constexpr int kMinModulusBits = 512;

// The packets of a card: one public key certificate, one user ID, and the
// trust packets between them.
struct CardPackets {
  KeyCertRecord cert{};
  const uint8_t* cert_packet = nullptr;  // header included: what the certification signs
  size_t cert_packet_length = 0;
  std::string user_id;
  int user_id_packets = 0;
};

velix_status read_card_packets(const uint8_t* packets, size_t length, CardPackets* out) {
  int certificates = 0;
  const int result = codec_call([&] {
    MemStream in = MemStream::for_reading(packets, length);
    while (in.remaining() > 0) {
      const size_t start = in.position();
      const PacketHeader header = read_packet_header(in);
      const size_t end = in.position() + header.length;
      if (header.type == PACKET_PUBLIC_KEY) {
        ++certificates;
        out->cert_packet = packets + start;
        out->cert_packet_length = end - start;
        if (read_packets(packets + start, static_cast<int>(end - start), &out->cert, nullptr) != 0)
          codec_abort(CORE_E_PACKET);
      } else if (header.type == PACKET_USER_ID) {
        ++out->user_id_packets;
        out->user_id.assign(reinterpret_cast<const char*>(in.current()), header.length);
      } else if (header.type != PACKET_TRUST) {
        codec_abort(CORE_E_PACKET);
      }
      in.seek(static_cast<ptrdiff_t>(header.length), MemStream::kFromPosition);
    }
    return 0;
  });
  if (result != 0 || certificates != 1 || out->cert.packet_type != PACKET_PUBLIC_KEY) return VELIX_E_CARDS;
  return VELIX_OK;
}

// The name line shows the user ID's first 20 characters without trailing
// spaces; the ID itself holds printable characters only.
bool user_id_matches_name_line(const std::string& user_id, const char* name_line) {
  if (user_id.empty() || user_id.size() >= sizeof PublicCard::user_id) return false;
  for (const char c : user_id)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
  return name_line_text(user_id.c_str()) == name_line;
}

// A card's certification, checked once the whole collection is read, since
// its certifying key may come later.
struct PendingCertification {
  uint32_t certifier;
  uint8_t digest[kMd5Size];
  ParsedSignature signature;
};

velix_status read_card(const DocumentRecord& doc, PublicCard* card, PendingCertification* certification) {
  if (std::strcmp(doc.type, "NS") != 0) return VELIX_E_CARDS;
  if (doc.data_length <= 0 || static_cast<size_t>(doc.data_length) > kMaxCardDataBlock) return VELIX_E_CARDS;
  std::vector<uint8_t> packets(static_cast<size_t>(doc.data_length) + 1);
  const int decoded = armor_decode(doc.data, doc.data_length, packets.data(), static_cast<int>(packets.size()));
  if (decoded <= 0) return VELIX_E_CARDS;
  CardPackets parts;
  if (const velix_status read = read_card_packets(packets.data(), static_cast<size_t>(decoded), &parts);
      read != VELIX_OK)
    return read;
  if (parts.cert.serial != doc.serial1) return VELIX_E_CARDS;

  if (parts.user_id_packets != 1 || !user_id_matches_name_line(parts.user_id, doc.name1))
    return VELIX_E_CARD_USER_ID;
  uint8_t field[kUserIdFieldSize] = {};
  std::memcpy(field, parts.user_id.data(), std::min<size_t>(parts.user_id.size(), kUserIdFieldSize));
  if (user_id_check(field) != parts.cert.check_word) return VELIX_E_CARD_CHECK_WORD;

  card->serial = parts.cert.serial;
  std::memcpy(card->user_id, parts.user_id.c_str(), parts.user_id.size() + 1);
  card->key = RsaPublicKey::from_fields(parts.cert.n, sizeof parts.cert.n, parts.cert.e, sizeof parts.cert.e);
  if (card->key == nullptr) return VELIX_E_CARDS;
  if (card->key->modulus_bits() < kMinModulusBits) return VELIX_E_KEY_TOO_SMALL;

  // The certification signs the certificate packet, the user ID and its extras.
  if (doc.signature_length <= 0) return VELIX_E_CARD_CERTIFICATION;
  if (parse_signature_block(doc.signature, static_cast<size_t>(doc.signature_length), kKeyCertificationClass,
                            &certification->signature) != VELIX_OK ||
      certification->signature.serial != doc.serial2)
    return VELIX_E_CARD_CERTIFICATION;
  certification->certifier = doc.serial2;
  StackMd5 md5;
  md5.update(parts.cert_packet, parts.cert_packet_length);
  md5.update(parts.user_id.data(), parts.user_id.size());
  md5.update(certification->signature.extras, sizeof certification->signature.extras);
  md5.final(certification->digest);
  return VELIX_OK;
}

velix_status load(const char* text, size_t length, unsigned flags, velix_cards* cards) {
  if (length > static_cast<size_t>(INT_MAX)) return VELIX_E_TOO_LARGE;
  std::unordered_map<uint32_t, std::unique_ptr<PendingCertification>> certifications;
  size_t offset = 0;
  while (offset < length) {
    if (only_blanks(text + offset, length - offset)) break;
    DocumentRecord doc{};
    const int used = read_document(text + offset, static_cast<int>(length - offset), &doc);
    if (used <= 0) return VELIX_E_CARDS;
    PublicCard card{};
    auto certification = std::make_unique<PendingCertification>();
    if (const velix_status read = read_card(doc, &card, certification.get()); read != VELIX_OK) return read;
    const uint32_t serial = card.serial;
    if (cards->by_serial.count(serial) != 0 && (flags & VELIX_CARDS_LATER_WINS) == 0)
      return VELIX_E_DUPLICATE_SERIAL;
    cards->by_serial.insert_or_assign(serial, std::move(card));
    certifications.insert_or_assign(serial, std::move(certification));
    offset += static_cast<size_t>(used);
  }
  if (cards->by_serial.empty()) return VELIX_E_CARDS;
  for (const auto& [card_serial, certification] : certifications) {
    const auto certifier = cards->by_serial.find(certification->certifier);
    if (certifier == cards->by_serial.end() ||
        !signature_opens(*certifier->second.key, certification->signature, certification->digest))
      return VELIX_E_CARD_CERTIFICATION;
  }
  return VELIX_OK;
}

}  // namespace

std::string name_line_text(const char* user_id) {
  std::string shown(user_id, strnlen(user_id, kUserIdFieldSize));
  shown.erase(shown.find_last_not_of(' ') + 1);
  return shown;
}

extern "C" velix_status velix_cards_load(const char* text, size_t length, unsigned flags, velix_cards** cards) {
  if (cards == nullptr) return VELIX_E_ARGS;
  *cards = nullptr;
  if (text == nullptr || (flags & ~VELIX_CARDS_LATER_WINS) != 0) return VELIX_E_ARGS;
  prepare_library();
  try {
    auto loaded = std::make_unique<velix_cards>();
    const velix_status status = load(text, length, flags, loaded.get());
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
