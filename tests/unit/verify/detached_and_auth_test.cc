#include <gtest/gtest.h>

#include <string>

#include "signer/auth_line.h"
#include "tests/unit/verify/signed_documents.h"

using namespace verify_test;

TEST(VerifyDetached, SignerSignatureOverDataInOneGoAndInPieces) {
  Cards cards(read_fixture("pubkeys.key"));
  std::string data(100000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + 3);
  const std::string signature = sign_detached(data, fixture_key());
  velix_signer_info info{};
  ASSERT_EQ(velix_verify_detached(cards.cards, signature.data(), signature.size(), data.data(), data.size(), &info),
            VELIX_OK);
  EXPECT_EQ(info.serial, 12345u);
  EXPECT_STREQ(info.user_id, "Test User");

  velix_detached* check = nullptr;
  ASSERT_EQ(velix_detached_begin(signature.data(), signature.size(), &check), VELIX_OK);
  for (size_t at = 0; at < data.size(); at += 4093)
    ASSERT_EQ(velix_detached_update(check, data.data() + at, std::min<size_t>(4093, data.size() - at)), VELIX_OK);
  // Absent data with a length is refused, not taken as nothing.
  EXPECT_EQ(velix_detached_update(check, nullptr, 10), VELIX_E_ARGS);
  EXPECT_EQ(velix_detached_update(check, nullptr, 0), VELIX_OK);
  EXPECT_EQ(velix_detached_update(nullptr, data.data(), 1), VELIX_E_ARGS);
  EXPECT_EQ(velix_detached_finish(check, cards.cards, &info), VELIX_OK);

  std::string changed = data;
  changed[54321] ^= 0x40;
  EXPECT_EQ(velix_verify_detached(cards.cards, signature.data(), signature.size(), changed.data(), changed.size(),
                                  &info),
            VELIX_E_BAD_SIGNATURE);
  EXPECT_EQ(velix_verify_detached(cards.cards, signature.data(), signature.size(), data.data(), data.size() - 1,
                                  &info),
            VELIX_E_BAD_SIGNATURE);
}

TEST(VerifyDetached, OpenSslSignatureOfAFileVerifies) {
  Cards cards(openssl_test_card());
  const std::string data = "file bytes\0with a NUL";
  const std::string signature = openssl_signature_block(data);
  velix_signer_info info{};
  EXPECT_EQ(velix_verify_detached(cards.cards, signature.data(), signature.size(), data.data(), data.size(), &info),
            VELIX_OK);
  EXPECT_EQ(info.signed_at, 1700000000u);
  velix_detached* check = nullptr;
  EXPECT_EQ(velix_detached_begin("garbage", 7, &check), VELIX_E_ARMOR);
  EXPECT_EQ(check, nullptr);
}

namespace {

const uint8_t kPrefix[10] = {0x5f, 0x3a, 0x9c, 0x0e, 0x71, 0xd2, 0x4b, 0x86, 0xe2, 0xa7};

}  // namespace

TEST(AuthLine, SignersLineChecksAndTellsTheKeyType) {
  for (const std::string message : {"Pay 10\r\n", "<order>Pay 10</order>\r\n"}) {
    for (const uint8_t key_type : {0, 1}) {
      const std::string text = message + AuthLine(kPrefix, key_type, message, 12345);
      velix_key_type found = key_type == 0 ? VELIX_KEY_TOKEN : VELIX_KEY_FILE;
      size_t line_start = 0;
      EXPECT_EQ(velix_check_auth_line(kPrefix, text.data(), text.size(), 12345, &found, &line_start), VELIX_OK)
          << text;
      EXPECT_EQ(found, key_type);
      EXPECT_EQ(line_start, message.size());

      char digest[29];
      ASSERT_EQ(velix_auth_digest(kPrefix, static_cast<velix_key_type>(key_type), message.data(), message.size(),
                                  12345, digest),
                VELIX_OK);
      EXPECT_EQ(digest, AuthDigest(kPrefix, key_type, message, 12345));
    }
  }
}

TEST(AuthLine, MismatchesAndMissingLines) {
  const std::string message = "Pay 10\r\n";
  const std::string text = message + AuthLine(kPrefix, 0, message, 12345);
  uint8_t other_prefix[10];
  std::memcpy(other_prefix, kPrefix, 10);
  other_prefix[9] ^= 1;
  std::string changed = text;
  changed[1] = 'b';
  const std::string markup_without_comment = "<p>\r\n" + AuthLine(kPrefix, 0, "x", 12345);
  const struct {
    const char* name;
    const uint8_t* prefix;
    std::string text;
    uint32_t serial;
    velix_status expected;
  } cases[] = {
      {"another prefix", other_prefix, text, 12345, VELIX_E_BAD_AUTH_LINE},
      {"another serial", kPrefix, text, 12346, VELIX_E_BAD_AUTH_LINE},
      {"text changed", kPrefix, changed, 12345, VELIX_E_BAD_AUTH_LINE},
      {"no AUTH line", kPrefix, message, 12345, VELIX_E_NO_AUTH_LINE},
      {"no final line break", kPrefix, text.substr(0, text.size() - 2), 12345, VELIX_E_NO_AUTH_LINE},
      {"AUTH line alone", kPrefix, AuthLine(kPrefix, 0, "", 12345), 12345, VELIX_E_NO_AUTH_LINE},
      {"markup text, plain line", kPrefix, markup_without_comment, 12345, VELIX_E_NO_AUTH_LINE},
  };
  for (const auto& c : cases)
    EXPECT_EQ(velix_check_auth_line(c.prefix, c.text.data(), c.text.size(), c.serial, nullptr, nullptr), c.expected)
        << c.name;
  // A line that does not match is still located, so a caller can show it.
  size_t line_start = 0;
  EXPECT_EQ(velix_check_auth_line(other_prefix, text.data(), text.size(), 12345, nullptr, &line_start),
            VELIX_E_BAD_AUTH_LINE);
  EXPECT_EQ(line_start, message.size());
}

TEST(AuthLine, PrefixIsTwentyHexDigits) {
  uint8_t prefix[10];
  ASSERT_EQ(velix_parse_prefix("5f3a9c0e71d24b86E2A7", prefix), VELIX_OK);
  EXPECT_EQ(std::memcmp(prefix, kPrefix, 10), 0);
  for (const char* bad : {"", "5f3a9c0e71d24b86e2a", "5f3a9c0e71d24b86e2a70", "5f3a9c0e71d24b86e2ag"})
    EXPECT_EQ(velix_parse_prefix(bad, prefix), VELIX_E_PREFIX) << bad;
}
