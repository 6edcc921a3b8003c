#include <gtest/gtest.h>

#include <string>

#include "core/core.h"
#include "core/keycard.h"
#include "keycard_text.h"

namespace {

using testing_keycard::base64_group;
using testing_keycard::card_body;
using testing_keycard::make_key_card;

int parse(const std::string& card, uint32_t* serial = nullptr, std::string* user_id = nullptr) {
  uint32_t s = 0;
  char id[21] = "untouched";
  const int rc = parse_key_card(card.data(), static_cast<int>(card.size()), &s, id);
  if (serial) *serial = s;
  if (user_id) *user_id = id;
  return rc;
}

TEST(KeyCard, CheckIsTheArmorCrcOfTheText) {
  EXPECT_EQ(base64_group(crc24(0xB704CE, reinterpret_cast<const uint8_t*>("abc"), 3)), "uhx7");
}

TEST(KeyCard, WellFormedCardsGiveSerialAndUserId) {
  struct Case {
    std::string user_id, serial_text;
    uint32_t serial;
    std::string expected_id;
  };
  const Case cases[] = {
      {"Ivan Petrov", "12345", 12345, "Ivan Petrov"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXY", "7", 7, "ABCDEFGHIJKLMNOPQRST"},  // 25 characters: first 20 used
      {"", "42", 42, ""},
      {"x", "", 0, "x"},
      {"x", "99999999", 99999999, "x"},  // the largest serial a document's 8 digits hold
      {"x", "-0", 0, "x"},
  };
  for (const auto& c : cases) {
    uint32_t serial = 1;
    std::string id;
    EXPECT_EQ(parse(make_key_card(c.user_id, c.serial_text), &serial, &id), 0) << c.user_id;
    EXPECT_EQ(serial, c.serial) << c.user_id;
    EXPECT_EQ(id, c.expected_id);
  }
}

TEST(KeyCard, NulTerminatedText) {
  const std::string card = make_key_card("Test User", "99");
  uint32_t serial = 0;
  char id[21];
  EXPECT_EQ(parse_key_card(card.c_str(), -1, &serial, id), 0);
  EXPECT_EQ(serial, 99u);
}

TEST(KeyCard, MalformedCardsAreRefused) {
  const std::string good = make_key_card("Test User", "12345");
  std::string changed_digit = good;
  changed_digit[good.find("12345") + 2] = '4';
  std::string bad_check_char = good;
  bad_check_char[good.size() - 2] = '*';
  std::string high_check_char = good;
  high_check_char[good.size() - 1] = '\xC1';
  const std::string body = card_body("Test User", "12345");
  std::string wrong_prefix = "Version: 02" + good.substr(11);
  const std::string cases[] = {
      good + "\r\n",                      // line break after the check
      good + "A",                         // 5 check characters
      good.substr(0, good.size() - 1),    // 3 check characters
      body,                               // no "=" at all
      changed_digit,
      bad_check_char,
      high_check_char,
      wrong_prefix,
      testing_keycard::with_check("Version: 01\r\nUser ID: Test User\r\nUser Kee: 5"),  // no key line
      "Version: 01\r\nUser ID: x" + good.substr(good.size() - 5),
  };
  for (const auto& card : cases) EXPECT_EQ(parse(card), CORE_E_KEYCARD) << card;
}

TEST(KeyCard, SerialsThatADocumentCannotHoldAreRefused) {
  // A well-formed card whose serial would not fit a document's name line.
  for (const char* serial : {"100000000", " -3", "-1", "4294967295", "4294967296"}) {
    EXPECT_EQ(parse(make_key_card("x", serial)), CORE_E_KEYCARD) << serial;
  }
}

TEST(KeyCard, AbsentResultPlaces) {
  const std::string card = make_key_card("a", "1");
  uint32_t serial;
  char id[21];
  EXPECT_EQ(parse_key_card(card.c_str(), -1, nullptr, id), CORE_E_ARGS);
  EXPECT_EQ(parse_key_card(card.c_str(), -1, &serial, nullptr), CORE_E_ARGS);
}

}  // namespace
