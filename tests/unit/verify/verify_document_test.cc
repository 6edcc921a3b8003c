#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/unit/verify/signed_documents.h"

using namespace verify_test;

namespace {

velix_status verify(const Cards& cards, const std::string& document, velix_signer_info* info = nullptr,
                    unsigned flags = 0) {
  velix_signer_info local{};
  return velix_verify_document(cards.cards, document.data(), document.size(), flags, info ? info : &local);
}

std::string openssl_cards() { return openssl_test_card(); }

}  // namespace

TEST(VerifyDocument, SignerDocumentNamesItsSignerAndText) {
  Cards cards(read_fixture("pubkeys.key"));
  ASSERT_EQ(cards.status, VELIX_OK);
  const std::string text = "Pay 10 to ACME\r\nline two\r\n";
  const std::string document = sign_document(text, fixture_key());
  velix_signer_info info{};
  ASSERT_EQ(verify(cards, document, &info), VELIX_OK);
  EXPECT_EQ(info.serial, 12345u);
  EXPECT_STREQ(info.user_id, "Test User");
  EXPECT_EQ(info.modulus_bits, 1024);
  EXPECT_EQ(std::string(info.text, info.text_length), text);
  EXPECT_NEAR(static_cast<double>(info.signed_at), static_cast<double>(time(nullptr)), 60);
}

TEST(VerifyDocument, OpenSslSignatureOverTheSameBytesIsTheSignersOwn) {
  Cards cards(openssl_cards());
  ASSERT_EQ(cards.status, VELIX_OK);
  const std::string text = "Statement 2026-01-01..2026-01-31\r\n";
  const std::string signer_document = sign_document(text, openssl_test_key());
  velix_signer_info info{};
  ASSERT_EQ(verify(cards, signer_document, &info), VELIX_OK);

  // PKCS #1 v1.5 is deterministic: OpenSSL signing the same text at the same
  // second must give the very same document, and the library accepts it.
  SignatureFields fields;
  fields.time = info.signed_at;
  const std::string openssl_document = frame_document(text, openssl_signature_block(text, fields));
  EXPECT_EQ(openssl_document, signer_document);
  EXPECT_EQ(verify(cards, openssl_document), VELIX_OK);
}

TEST(VerifyDocument, EachFaultHasItsOwnCode) {
  Cards cards(openssl_cards());
  const std::string text = "Pay 10\r\n";
  const std::string good = frame_document(text, openssl_signature_block(text));
  ASSERT_EQ(verify(cards, good), VELIX_OK);
  const size_t text_at = good.find("Pay 10");
  const size_t armor_at = good.find("BEGIN SIGNATURE\r\n") + 20;

  RsaPtr other_key = generate_test_rsa(1024);
  SignatureFields digest_sha1, certification, unknown_serial, wrong_key;
  digest_sha1.digest_algorithm = 2;
  certification.sig_class = 0x10;
  unknown_serial.serial = 777;
  wrong_key.signing_key = other_key.get();

  std::string changed_text = good;
  changed_text[text_at] = 'Q';
  std::string changed_armor = good;
  changed_armor[armor_at] = changed_armor[armor_at] == 'A' ? 'B' : 'A';
  std::string no_end = good.substr(0, good.size() - 3);

  const struct {
    const char* name;
    std::string document;
    velix_status expected;
  } cases[] = {
      {"one text byte changed", changed_text, VELIX_E_BAD_SIGNATURE},
      {"signed by another key", frame_document(text, openssl_signature_block(text, wrong_key)),
       VELIX_E_BAD_SIGNATURE},
      {"signature over other text", frame_document(text, openssl_signature_block("Pay 11\r\n")),
       VELIX_E_BAD_SIGNATURE},
      {"armor character changed", changed_armor, VELIX_E_ARMOR},
      {"signature block not armor", frame_document(text, "not armor at all"), VELIX_E_ARMOR},
      {"MD5 not named", frame_document(text, openssl_signature_block(text, digest_sha1)), VELIX_E_ALGORITHM},
      {"key certification class", frame_document(text, openssl_signature_block(text, certification)),
       VELIX_E_ALGORITHM},
      {"name line names another key", frame_document(text, openssl_signature_block(text), 4243),
       VELIX_E_SERIAL_MISMATCH},
      {"no card for the serial", frame_document(text, openssl_signature_block(text, unknown_serial), 777),
       VELIX_E_CARD_NOT_FOUND},
      {"a key card, not a message", frame_document(text, openssl_signature_block(text), 4242, "NS"),
       VELIX_E_DOCUMENT_TYPE},
      {"cut before END SIGNATURE", no_end, VELIX_E_DOCUMENT},
      {"empty", "", VELIX_E_DOCUMENT},
  };
  for (const auto& c : cases) EXPECT_EQ(verify(cards, c.document), c.expected) << c.name;
}

TEST(VerifyDocument, NoCutOrFlippedDocumentVerifies) {
  Cards cards(openssl_cards());
  const std::string good = sign_document("Short\r\n", openssl_test_key());
  for (size_t length = 0; length < good.size() - 1; ++length)
    EXPECT_NE(verify(cards, good.substr(0, length)), VELIX_OK) << "cut at " << length;
  // Every single-bit change in the text or the signature block is caught,
  // except in the bits that Base64 leaves unused at the end of the armor,
  // which decode to the very same signature.
  const size_t from = good.find("BEGIN\r\n");
  const size_t armor_from = good.find("BEGIN SIGNATURE\r\n") + 17;
  const auto decoded = [&](const std::string& document) {
    const size_t begin = document.find("BEGIN SIGNATURE\r\n") + 17;
    const size_t end = document.find("\r\nEND SIGNATURE");
    std::vector<uint8_t> packets(1024);
    const int length = armor_decode(document.data() + begin, static_cast<int>(end - begin), packets.data(),
                                    static_cast<int>(packets.size()));
    packets.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return packets;
  };
  for (size_t at = from; at < good.size(); ++at) {
    std::string flipped = good;
    flipped[at] = static_cast<char>(flipped[at] ^ 0x01);
    if (verify(cards, flipped) != VELIX_OK) continue;
    EXPECT_GT(at, armor_from) << "byte " << at;
    EXPECT_EQ(decoded(flipped), decoded(good)) << "byte " << at;
  }
}

TEST(VerifyDocument, LengthFieldsThatOverstateTheInputAreRefused) {
  Cards cards(openssl_cards());
  const std::string good = sign_document("Pay\r\n", openssl_test_key());
  // Header: total(8) version(2) type(2) data length(8) plain(8) signature length(8).
  for (const size_t field : {12u, 28u}) {
    std::string forged = good;
    forged.replace(field, 8, "99999999");
    EXPECT_EQ(verify(cards, forged), VELIX_E_DOCUMENT) << "field at " << field;
  }
}

TEST(VerifyDocument, OneCollectionServesManyThreads) {
  Cards cards(read_fixture("pubkeys.key") + openssl_cards());
  ASSERT_EQ(velix_cards_count(cards.cards), 2u);
  const std::string fixture_document = sign_document("Thread A\r\n", fixture_key());
  const std::string test_document = sign_document("Thread B\r\n", openssl_test_key());
  std::string tampered = test_document;
  tampered[tampered.find("Thread B")] = 't';
  std::vector<int> failures(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        failures[t] += verify(cards, fixture_document) != VELIX_OK;
        failures[t] += verify(cards, test_document) != VELIX_OK;
        failures[t] += verify(cards, tampered) != VELIX_E_BAD_SIGNATURE;
      }
    });
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
}

TEST(CardCollection, ReadsEveryCardAndRefusesWhatIsNotOne) {
  const std::string fixture = read_fixture("pubkeys.key");
  const std::string other = openssl_cards();
  const struct {
    const char* name;
    std::string text;
    velix_status expected;
    size_t count;
  } cases[] = {
      {"two cards with blank lines", "\r\n\r\n" + fixture + "\r\n" + other + "\r\n\r\n", VELIX_OK, 2},
      {"the same card twice", fixture + fixture, VELIX_E_DUPLICATE_SERIAL, 0},
      {"a card followed by garbage", fixture + "garbage\r\n", VELIX_E_CARDS, 0},
      {"a signed message instead", sign_document("x\r\n", fixture_key()), VELIX_E_CARDS, 0},
      {"a secret key file", read_fixture("secret_unprotected.key"), VELIX_E_CARDS, 0},
      {"blanks only", "\r\n \r\n", VELIX_E_CARDS, 0},
      {"empty", "", VELIX_E_CARDS, 0},
  };
  for (const auto& c : cases) {
    Cards cards(c.text);
    EXPECT_EQ(cards.status, c.expected) << c.name;
    EXPECT_EQ(velix_cards_count(cards.cards), c.count) << c.name;
  }
  EXPECT_EQ(velix_cards_load(nullptr, 0, 0, nullptr), VELIX_E_ARGS);
}

TEST(VerifyStatus, EveryCodeHasItsOwnText) {
  std::set<std::string> texts;
  for (int code = VELIX_OK; code <= VELIX_STATUS_LAST; ++code)
    texts.insert(velix_status_text(static_cast<velix_status>(code)));
  EXPECT_EQ(texts.size(), static_cast<size_t>(VELIX_STATUS_LAST) + 1);
}
