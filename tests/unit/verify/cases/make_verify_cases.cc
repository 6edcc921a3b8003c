// Writes the signed documents, detached signatures, AUTH lines and card
// collections that the Python and Java bindings are tested on, with the
// status each must give, after checking every one with the C library itself.
//
// make_verify_cases DIR writes DIR/cases.tsv, one case a line, tab-separated:
//   document  FILE  strict|lenient  STATUS  SERIAL  USER_ID  TEXT_FILE|-
//   detached  SIGNATURE_FILE  DATA_FILE  STATUS  SERIAL
//   auth      TEXT_FILE  PREFIX_HEX  SERIAL  STATUS  KEY_TYPE  LINE_START
//   cards     FILE  strict|later_wins  STATUS  COUNT
// STATUS is the library's numeric status; USER_ID is UTF-8 (the card holds it
// in code page 1251). Every document case is checked with DIR/cards.key.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/codepage.h"
#include "signer/auth_line.h"
#include "core/engine.h"
#include "tests/unit/verify/signed_documents.h"

using namespace verify_test;
namespace fs = std::filesystem;

namespace {

const uint8_t kPrefix[10] = {0x5f, 0x3a, 0x9c, 0x0e, 0x71, 0xd2, 0x4b, 0x86, 0xe2, 0xa7};
const char kPrefixHex[] = "5f3a9c0e71d24b86e2a7";
// "Иван П." in code page 1251, as a Russian bank's keys carry.
const char kCyrillicUserId[] = "\xC8\xE2\xE0\xED \xCF.";

// A key of serial 0 with a Cyrillic user ID, and its self-certified card.
struct CyrillicKey {
  CyrillicKey() {
    core_init();
    secret.engine_id = ENGINE_BUILTIN;
    secret.kind = KEY_KIND_SECRET;
    std::strcpy(secret.user_id, kCyrillicUserId);
    KeyCertRecord record = key_cert_record_from(test_rsa_key(1024).rsa.get(), 0, kCyrillicUserId);
    if (core_engine(ENGINE_BUILTIN)->open_secret_key(&record, &secret) != 0) std::abort();
    card = test_card(1024, 0, kCyrillicUserId, &secret);
  }
  ~CyrillicKey() { core_close_key(&secret); }
  KeyHandle secret{};
  std::string card;
};

class CaseWriter {
 public:
  CaseWriter(const fs::path& dir, const std::string& more_cards)
      : dir_(dir), list_(dir / "cases.tsv", std::ios::binary) {
    cards_text_ = read_fixture("pubkeys.key") + openssl_test_card() + more_cards;
    write("cards.key", cards_text_);
    cards_ = std::make_unique<Cards>(cards_text_);
    if (cards_->status != VELIX_OK) fail("cards.key", cards_->status, VELIX_OK);
  }

  void document(const std::string& name, const std::string& content, bool lenient, velix_status expected,
                const std::string& text = "", uint32_t serial = 0, const char* user_id = "") {
    write(name, content);
    velix_signer_info info{};
    const velix_status got = velix_verify_document(cards_->cards, content.data(), content.size(),
                                                   lenient ? VELIX_LENIENT : 0, &info);
    if (got != expected) fail(name, got, expected);
    std::string text_file = "-";
    if (expected == VELIX_OK) {
      text_file = name + ".text";
      write(text_file, text);
      if (std::string(info.text, info.text_length) != text || info.serial != serial) fail(name, got, expected);
    }
    list_ << "document\t" << name << "\t" << (lenient ? "lenient" : "strict") << "\t" << expected << "\t"
          << serial << "\t" << *platform::convert_code_page(user_id, 1251, platform::kCodePageUtf8) << "\t"
          << text_file << "\n";
  }

  void detached(const std::string& name, const std::string& signature, const std::string& data,
                velix_status expected, uint32_t serial) {
    write(name + ".sig", signature);
    write(name + ".data", data);
    velix_signer_info info{};
    const velix_status got = velix_verify_detached(cards_->cards, signature.data(), signature.size(), data.data(),
                                                   data.size(), &info);
    if (got != expected) fail(name, got, expected);
    list_ << "detached\t" << name << ".sig\t" << name << ".data\t" << expected << "\t" << serial << "\n";
  }

  void auth(const std::string& name, const std::string& text, uint32_t serial, velix_status expected,
            int key_type, size_t line_start) {
    write(name, text);
    velix_key_type found = VELIX_KEY_FILE;
    size_t at = 0;
    const velix_status got = velix_check_auth_line(kPrefix, text.data(), text.size(), serial, &found, &at);
    if (got != expected || (got == VELIX_OK && (found != key_type || at != line_start))) fail(name, got, expected);
    list_ << "auth\t" << name << "\t" << kPrefixHex << "\t" << serial << "\t" << expected << "\t" << key_type
          << "\t" << line_start << "\n";
  }

  void cards(const std::string& name, const std::string& text, bool later_wins, velix_status expected,
             size_t count) {
    write(name, text);
    Cards loaded(text, later_wins ? VELIX_CARDS_LATER_WINS : 0);
    if (loaded.status != expected || velix_cards_count(loaded.cards) != count) fail(name, loaded.status, expected);
    list_ << "cards\t" << name << "\t" << (later_wins ? "later_wins" : "strict") << "\t" << expected << "\t"
          << count << "\n";
  }

  bool failed() const { return failed_; }

 private:
  void write(const std::string& name, const std::string& content) {
    std::ofstream(dir_ / name, std::ios::binary) << content;
  }
  void fail(const std::string& name, velix_status got, velix_status expected) {
    std::fprintf(stderr, "%s: status %d, expected %d\n", name.c_str(), got, expected);
    failed_ = true;
  }

  fs::path dir_;
  std::ofstream list_;
  std::string cards_text_;
  std::unique_ptr<Cards> cards_;
  bool failed_ = false;
};

void write_cases(CaseWriter& out, CyrillicKey& cyrillic) {
  const std::string message = "Pay 10 to ACME\r\n";
  const std::string text = message + AuthLine(kPrefix, 0, message, 12345);
  const std::string good = sign_document(text, fixture_key());
  out.document("good.txt", good, false, VELIX_OK, text, 12345, "Test User");
  out.document("good_with_line_break.txt", good + "\r\n", false, VELIX_OK, text, 12345, "Test User");
  const std::string statement = "Statement 2026-01-01..2026-01-31\r\n";
  out.document("openssl_key.txt", sign_document(statement, openssl_test_key()), false, VELIX_OK, statement, 4242,
               "Test User");

  const std::string payment = "\xCE\xEF\xEB\xE0\xF2\xE0 10\r\n";  // "Оплата 10" in 1251
  out.document("cyrillic_serial_0.txt", sign_document(payment, &cyrillic.secret), false, VELIX_OK, payment, 0,
               kCyrillicUserId);

  std::string tampered = good;
  tampered[tampered.find("Pay 10") + 4] = '9';
  out.document("tampered.txt", tampered, false, VELIX_E_BAD_SIGNATURE);
  const std::string forged = frame_document("Pay 100000 to MALLORY\r\n", openssl_signature_block("Pay 1\r\n"));
  out.document("forged_after.txt", good + "\r\n" + forged, false, VELIX_E_TRAILING_DATA);
  out.document("forged_after_lenient.txt", good + "\r\n" + forged, true, VELIX_OK, text, 12345, "Test User");
  const std::string armor = openssl_signature_block(statement);
  out.document("hidden_after_check_line.txt", frame_document(statement, armor + "\r\nBEGIN\r\nPay 5\r\nEND"), true,
               VELIX_E_ARMOR_TRAILING);
  std::string short_plain = sign_document(statement, openssl_test_key());
  short_plain.replace(20, 8, "00000005");
  out.document("plain_length_5.txt", short_plain, false, VELIX_E_PLAIN_LENGTH);
  out.document("plain_length_5_lenient.txt", short_plain, true, VELIX_OK, statement, 4242, "Test User");
  SignatureFields unknown;
  unknown.serial = 777;
  out.document("unknown_key.txt", frame_document(statement, openssl_signature_block(statement, unknown), 777), false,
               VELIX_E_CARD_NOT_FOUND);
  out.document("not_a_document.txt", "Pay 10 to ACME\r\n", false, VELIX_E_DOCUMENT);

  std::string data(70000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + 3);
  const std::string detached = sign_detached(data, fixture_key());
  out.detached("file", detached, data, VELIX_OK, 12345);
  std::string changed = data;
  changed[54321] ^= 0x40;
  out.detached("changed_file", detached, changed, VELIX_E_BAD_SIGNATURE, 12345);

  out.auth("auth_good.txt", text, 12345, VELIX_OK, 0, message.size());
  const std::string token_text = message + AuthLine(kPrefix, 1, message, 4242);
  out.auth("auth_token.txt", token_text, 4242, VELIX_OK, 1, message.size());
  out.auth("auth_other_serial.txt", text, 12346, VELIX_E_BAD_AUTH_LINE, 0, 0);
  out.auth("auth_missing.txt", message, 12345, VELIX_E_NO_AUTH_LINE, 0, 0);

  const std::string fixture = read_fixture("pubkeys.key");
  out.cards("two_cards.key", fixture + "\r\n" + openssl_test_card(), false, VELIX_OK, 2);
  out.cards("same_serial_twice.key", fixture + fixture, false, VELIX_E_DUPLICATE_SERIAL, 0);
  out.cards("same_serial_twice_later_wins.key", fixture + fixture, true, VELIX_OK, 1);
  out.cards("garbage.key", fixture + "garbage\r\n", false, VELIX_E_CARDS, 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_verify_cases DIR\n");
    return 2;
  }
  fs::create_directories(argv[1]);
  CyrillicKey cyrillic;
  CaseWriter out(argv[1], cyrillic.card);
  write_cases(out, cyrillic);
  return out.failed() ? 1 : 0;
}
