// The strict form of signed documents (the default) against the lenient one:
// what the signer writes passes both; bytes beside a signed document, hidden
// packets and text after the check line fail both; every looser layout fails
// strictly with its own code and passes leniently.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unit/verify/signed_documents.h"

using namespace verify_test;

namespace {

velix_status verify(const Cards& cards, const std::string& document, unsigned flags,
                    velix_signer_info* info = nullptr) {
  velix_signer_info local{};
  return velix_verify_document(cards.cards, document.data(), document.size(), flags, info ? info : &local);
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// The armor of packets with another layout: lines of a given length, or a
// blank line before the check line.
std::string armor_with_lines(const std::string& armor, size_t line_length) {
  std::string data, check;
  for (size_t at = 0; at < armor.size();) {
    size_t end = armor.find("\r\n", at);
    if (end == std::string::npos) end = armor.size();
    const std::string line = armor.substr(at, end - at);
    (line[0] == '=' ? check : data) += line;
    at = end + 2;
  }
  std::string out;
  for (size_t at = 0; at < data.size(); at += line_length) out += data.substr(at, line_length) + "\r\n";
  return out + check;
}

// The signer's signature packets, their last drop bytes cut, more after them.
std::string signature_with_packets_after(const std::string& text, const std::vector<uint8_t>& more,
                                         size_t drop = 0) {
  const std::string armor = openssl_signature_block(text);
  uint8_t packets[2048];
  const int length = armor_decode(armor.data(), static_cast<int>(armor.size()), packets, sizeof packets);
  EXPECT_GT(length, 0);
  std::vector<uint8_t> all(packets, packets + length - drop);
  all.insert(all.end(), more.begin(), more.end());
  char out[4096];
  EXPECT_GT(armor_encode(all.data(), static_cast<int>(all.size()), out, sizeof out), 0);
  return out;
}

}  // namespace

TEST(StrictForm, WhatTheSignerWritesPassesBothModesWithBlanksAfterIt) {
  Cards cards(openssl_test_card());
  const std::vector<std::string> texts{"Pay 10\r\n", std::string(5000, 'x') + "\r\n", std::string("\0\r\nEND\r\n", 8)};
  for (const std::string& text : texts) {
    const std::string document = sign_document(text, openssl_test_key());
    for (const std::string after : {"", "\r\n", "\r\n\r\n \t\r\n"}) {
      const std::string input = document + after;
      velix_signer_info info{};
      EXPECT_EQ(verify(cards, input, 0, &info), VELIX_OK) << text.size();
      EXPECT_TRUE(std::string(info.text, info.text_length) == text) << text.size();
      EXPECT_EQ(verify(cards, input, VELIX_LENIENT), VELIX_OK);
    }
  }
}

TEST(StrictForm, BytesNobodySignedAreRefusedOrReportedAsLeftOver) {
  Cards cards(openssl_test_card());
  const std::string good = sign_document("Pay 10 to BOB\r\n", openssl_test_key());
  const std::string forged = frame_document("Pay 100000 to MALLORY\r\n", openssl_signature_block("Pay 1\r\n"));
  const struct {
    const char* name;
    std::string document;
    size_t consumed;  // what the lenient reader reports it used
  } cases[] = {
      {"a second document after it", good + "\r\n" + forged, good.size() + 2},
      {"text after END SIGNATURE on its line", good + " Pay 100000 to MALLORY", good.size() + 22},
      {"a fake block after it", good + "\r\nBEGIN\r\nPay 100000 to MALLORY\r\nEND\r\n", good.size() + 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(verify(cards, c.document, 0), VELIX_E_TRAILING_DATA) << c.name;
    velix_signer_info info{};
    EXPECT_EQ(verify(cards, c.document, VELIX_LENIENT, &info), VELIX_OK) << c.name;
    EXPECT_EQ(info.consumed, c.consumed) << c.name;
    EXPECT_EQ(std::string(info.text, info.text_length), "Pay 10 to BOB\r\n") << c.name;
  }
  velix_signer_info info{};
  ASSERT_EQ(verify(cards, good, 0, &info), VELIX_OK);
  EXPECT_EQ(info.consumed, good.size());
}

TEST(StrictForm, TheSignatureBlockHoldsTheSignatureAndNothingElseInEitherMode) {
  Cards cards(openssl_test_card());
  const std::string text = "Pay 10\r\n";
  const std::string armor = openssl_signature_block(text);
  const struct {
    const char* name;
    std::string signature_block;
    velix_status expected;
  } cases[] = {
      {"a document hidden after the check line", armor + "\r\nBEGIN\r\nPay 100000\r\nEND", VELIX_E_ARMOR_TRAILING},
      {"text on the line after the check line", armor + "\r\nx", VELIX_E_ARMOR_TRAILING},
      {"a user ID packet after the trust packet",
       signature_with_packets_after(text, {0xB4, 7, 'M', 'a', 'l', 'l', 'o', 'r', 'y'}), VELIX_E_EXTRA_PACKETS},
      {"a second trust packet", signature_with_packets_after(text, {0xB0, 1, 0xC7}), VELIX_E_EXTRA_PACKETS},
      {"the trust packet left out", signature_with_packets_after(text, {}, 3), VELIX_E_EXTRA_PACKETS},
      {"the sound block, rebuilt the same way", signature_with_packets_after(text, {}), VELIX_OK},
  };
  for (const auto& c : cases) {
    const std::string document = frame_document(text, c.signature_block);
    EXPECT_EQ(verify(cards, document, 0), c.expected) << c.name;
    EXPECT_EQ(verify(cards, document, VELIX_LENIENT), c.expected) << c.name;
  }
}

TEST(StrictForm, EachLooserLayoutHasItsOwnCodeAndPassesLeniently) {
  Cards cards(openssl_test_card());
  const std::string text = "Pay 10 to ACME, account 40817, reference 2026-77\r\n";  // 51 bytes
  const std::string armor = openssl_signature_block(text);
  const std::string good = frame_document(text, armor);
  ASSERT_EQ(verify(cards, good, 0), VELIX_OK);
  std::string total_off = good;
  total_off[7] = static_cast<char>(total_off[7] + 1);
  DocumentRecord doc{};
  ASSERT_GT(read_document(good.data(), static_cast<int>(good.size()), &doc), 0);
  const auto rewritten = [&](auto change) {
    DocumentRecord edited = doc;
    change(edited);
    std::string out(good.size() + 1024, '\0');
    const int length = write_document(out.data(), static_cast<int>(out.size()), &edited);
    EXPECT_GT(length, 0);
    out.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return out;
  };
  const std::string relaid = armor_with_lines(armor, 60);
  const struct {
    const char* name;
    std::string document;
    velix_status expected;
  } cases[] = {
      {"total field one too high", total_off, VELIX_E_TOTAL_FIELD},
      {"version 02", rewritten([](DocumentRecord& d) { d.version = 2; }), VELIX_E_VERSION},
      {"plain length 5 of a 51-byte text", rewritten([](DocumentRecord& d) { d.plain_length = 5; }),
       VELIX_E_PLAIN_LENGTH},
      {"a name on name line 2", rewritten([](DocumentRecord& d) { std::strcpy(d.name2, "Bank Admin"); }),
       VELIX_E_NAME_LINES},
      {"a serial on name line 2", rewritten([](DocumentRecord& d) { d.serial2 = 1; }), VELIX_E_NAME_LINES},
      {"a tab padding name line 1", replaced(good, "Test User ", "Test User\t"), VELIX_E_NAME_LINES},
      {"name line 1 not the card's user ID", replaced(good, "Test User", "Bank Boss"), VELIX_E_NAME_LINES},
      {"a bare line feed after the header", replaced(good, "\r\n", "\n"), VELIX_E_LAYOUT},
      {"a blank line before the document", "\r\n" + good, VELIX_E_LAYOUT},
      {"a carriage return inside BEGIN", replaced(good, "BEGIN\r\n", "BEG\rIN\r\n"), VELIX_E_LAYOUT},
      {"armor lines of 60 characters",
       rewritten([&](DocumentRecord& d) {
         d.signature = relaid.data();
         d.signature_length = static_cast<int>(relaid.size());
       }),
       VELIX_E_ARMOR_LAYOUT},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(verify(cards, c.document, 0), c.expected) << c.name;
    EXPECT_EQ(verify(cards, c.document, VELIX_LENIENT), VELIX_OK) << c.name;
  }
  EXPECT_EQ(verify(cards, good, 0x80), VELIX_E_ARGS);
}
