// What a card collection must be before any signature is checked with it:
// one card per serial, a user ID its packets and name line agree on, the
// matching check word, a certification that verifies, a key of 512 bits or
// more.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/user_id_check.h"
#include "tests/unit/verify/signed_documents.h"

using namespace verify_test;

namespace {

// A card rebuilt with its document fields or its decoded packets changed.
std::string edited_card(const std::string& card, const std::function<void(DocumentRecord&)>& edit_document,
                        const std::function<void(std::vector<uint8_t>&)>& edit_packets = nullptr) {
  DocumentRecord doc{};
  EXPECT_GT(read_document(card.data(), static_cast<int>(card.size()), &doc), 0);
  std::vector<uint8_t> packets(4096);
  const int length = armor_decode(doc.data, doc.data_length, packets.data(), static_cast<int>(packets.size()));
  EXPECT_GT(length, 0);
  packets.resize(static_cast<size_t>(length));
  if (edit_packets) edit_packets(packets);
  char armored[4096];
  const int armored_length =
      armor_encode(packets.data(), static_cast<int>(packets.size()), armored, sizeof armored);
  doc.data = armored;
  doc.data_length = armored_length;
  doc.plain_length = static_cast<int>(packets.size());
  if (edit_document) edit_document(doc);
  std::string out(8192, '\0');
  const int written = write_document(out.data(), static_cast<int>(out.size()), &doc);
  EXPECT_GT(written, 0);
  out.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return out + "\r\n";
}

// The user ID packet (0xB4, length, characters) replaced by another text;
// the packets before it are stepped over by their lengths.
void replace_user_id(std::vector<uint8_t>& packets, const std::string& user_id) {
  size_t at = 0;
  while (at + 1 < packets.size()) {
    const int length_bytes = (packets[at] & 3) == 0 ? 1 : (packets[at] & 3) == 1 ? 2 : 4;
    size_t body = 0;
    for (int i = 1; i <= length_bytes; ++i) body = body << 8 | packets[at + static_cast<size_t>(i)];
    const size_t next = at + 1 + static_cast<size_t>(length_bytes) + body;
    if (packets[at] == 0xB4) {
      std::vector<uint8_t> replacement{0xB4, static_cast<uint8_t>(user_id.size())};
      replacement.insert(replacement.end(), user_id.begin(), user_id.end());
      packets.erase(packets.begin() + static_cast<ptrdiff_t>(at), packets.begin() + static_cast<ptrdiff_t>(next));
      packets.insert(packets.begin() + static_cast<ptrdiff_t>(at), replacement.begin(), replacement.end());
      return;
    }
    at = next;
  }
  ADD_FAILURE() << "no user ID packet";
}

// An uncertified card (the size is checked first) of a modulus OpenSSL will
// not generate as a key: the product of two primes of half the size.
std::string uncertified_card_of_bits(int bits) {
  test_keys_detail::BnPtr p(BN_new()), q(BN_new()), n(BN_new()), e(BN_new());
  BN_CTX* ctx = BN_CTX_new();
  EXPECT_TRUE(BN_generate_prime_ex(p.get(), bits / 2, 0, nullptr, nullptr, nullptr) &&
              BN_generate_prime_ex(q.get(), bits / 2, 0, nullptr, nullptr, nullptr) &&
              BN_mul(n.get(), p.get(), q.get(), ctx) && BN_set_word(e.get(), RSA_F4));
  BN_CTX_free(ctx);
  KeyCertRecord record{};
  record.version = 3;
  record.packet_type = 6;
  record.modulus_bits = static_cast<int16_t>(BN_num_bits(n.get()));
  record.serial = 384;
  std::strcpy(record.user_id, "Small");
  record.algorithm = 1;
  test_keys_detail::put(n.get(), record.n, sizeof record.n);
  test_keys_detail::put(e.get(), record.e, sizeof record.e);
  KeyHandle key{};
  key.engine_id = ENGINE_BUILTIN;
  key.kind = KEY_KIND_PUBLIC;
  key.serial = 384;
  std::strcpy(key.user_id, "Small");
  EXPECT_EQ(core_engine(ENGINE_BUILTIN)->open_public_key(&record, &key), 0);
  std::string card(4096, '\0');
  const int length = core_export_public_card(card.data(), 4096, &key, nullptr);
  core_close_key(&key);
  EXPECT_GT(length, 0);
  card.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return card;
}

}  // namespace

TEST(CardChecks, ACollectionHoldsOneCardPerSerialUnlessTheOldRuleIsAskedFor) {
  const std::string bob = openssl_test_card();
  // Mallory's own key, carded under Bob's serial and certified by itself.
  KeyHandle mallory{};
  mallory.engine_id = ENGINE_BUILTIN;
  mallory.kind = KEY_KIND_SECRET;
  mallory.serial = 4242;
  std::strcpy(mallory.user_id, "Test User");
  KeyCertRecord record = test_rsa_key(1536).record;
  ASSERT_EQ(core_engine(ENGINE_BUILTIN)->open_secret_key(&record, &mallory), 0);
  const std::string mallory_card = test_card(1536, 4242, "Test User", &mallory);
  const std::string mallory_document = sign_document("Pay 100000 to MALLORY\r\n", &mallory);
  core_close_key(&mallory);

  Cards refused(bob + mallory_card);
  EXPECT_EQ(refused.status, VELIX_E_DUPLICATE_SERIAL);
  EXPECT_EQ(refused.cards, nullptr);

  Cards later_wins(bob + mallory_card, VELIX_CARDS_LATER_WINS);
  ASSERT_EQ(later_wins.status, VELIX_OK);
  EXPECT_EQ(velix_cards_count(later_wins.cards), 1u);
  velix_signer_info info{};
  EXPECT_EQ(velix_verify_document(later_wins.cards, mallory_document.data(), mallory_document.size(), 0, &info),
            VELIX_OK);
  EXPECT_EQ(info.modulus_bits, 1536);
  EXPECT_EQ(velix_cards_load("x", 1, 0x80, nullptr), VELIX_E_ARGS);
}

TEST(CardChecks, UserIdCheckWordCertificationAndKeySizeAreChecked) {
  const std::string card = openssl_test_card();
  const std::string fixture = read_fixture("pubkeys.key");
  DocumentRecord fixture_doc{};
  ASSERT_GT(read_document(fixture.data(), static_cast<int>(fixture.size()), &fixture_doc), 0);
  const std::string small_card = uncertified_card_of_bits(384);

  const struct {
    const char* name;
    std::string cards;
    velix_status expected;
  } cases[] = {
      {"name line says Bank Admin, packets Test User",
       edited_card(card, [](DocumentRecord& d) { std::strcpy(d.name1, "Bank Admin"); }), VELIX_E_CARD_USER_ID},
      {"packets say Mallory, name line Test User",
       edited_card(card, nullptr, [](std::vector<uint8_t>& p) { replace_user_id(p, "Mallory"); }),
       VELIX_E_CARD_USER_ID},
      {"user ID with a control character",
       edited_card(card, [](DocumentRecord& d) { std::strcpy(d.name1, "Test\x1bUser"); },
                   [](std::vector<uint8_t>& p) { replace_user_id(p, "Test\x1bUser"); }),
       VELIX_E_CARD_USER_ID},
      // Certificate body: version, serial (4), time (4), then the check word.
      {"check word changed", edited_card(card, nullptr, [](std::vector<uint8_t>& p) { p[12] ^= 0x01; }),
       VELIX_E_CARD_CHECK_WORD},
      {"no certification",
       edited_card(card, [](DocumentRecord& d) {
         d.signature_length = 0;
         d.name2[0] = '\0';
         d.serial2 = 0;
       }),
       VELIX_E_CARD_CERTIFICATION},
      {"another key's certification",
       edited_card(card, [&](DocumentRecord& d) {
         d.signature = fixture_doc.signature;
         d.signature_length = fixture_doc.signature_length;
       }),
       VELIX_E_CARD_CERTIFICATION},
      {"certification of another user ID",
       edited_card(card, [](DocumentRecord& d) { std::strcpy(d.name1, "Test Uses"); },
                   [](std::vector<uint8_t>& p) {
                     replace_user_id(p, "Test Uses");
                     uint8_t field[20] = {'T', 'e', 's', 't', ' ', 'U', 's', 'e', 's'};
                     const uint16_t check = user_id_check(field);
                     p[12] = static_cast<uint8_t>(check >> 8);
                     p[13] = static_cast<uint8_t>(check);
                   }),
       VELIX_E_CARD_CERTIFICATION},
      {"certified by a key the collection lacks", test_card(1024, 4242, "Test User", fixture_key()),
       VELIX_E_CARD_CERTIFICATION},
      {"certified by a card of the collection", test_card(1024, 4242, "Test User", fixture_key()) + fixture,
       VELIX_OK},
      {"a 384-bit key", small_card, VELIX_E_KEY_TOO_SMALL},
  };
  for (const auto& c : cases) {
    Cards cards(c.cards);
    EXPECT_EQ(cards.status, c.expected) << c.name;
  }
}
