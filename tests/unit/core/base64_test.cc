#include <gtest/gtest.h>

#include <string>

#include "core/base64.h"

TEST(Base64, EncodesTheRfc4648VectorsWithPadding) {
  const struct {
    std::string in, out;
  } cases[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
               {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"\xff\xfe", "//4="}};
  for (const auto& c : cases)
    EXPECT_EQ(base64_encode(reinterpret_cast<const uint8_t*>(c.in.data()), c.in.size()), c.out) << c.in;
}

TEST(Base64, ValuesCoverTheAlphabetAndNothingElse) {
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int c = 0; c < 256; ++c) {
    const size_t at = alphabet.find(static_cast<char>(c));
    EXPECT_EQ(base64_value(static_cast<uint8_t>(c)), at == std::string::npos || c == 0 ? -1 : int(at)) << c;
  }
}
