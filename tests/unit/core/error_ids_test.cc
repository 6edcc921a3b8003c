#include <gtest/gtest.h>

#include "core/core.h"

TEST(CoreErrorIds, MapsEveryCodeToItsMessage) {
  const struct { int code; int id; } cases[] = {
      {0, 0},
      {CORE_E_ARGS, 127},
      {CORE_E_FORMAT, 129},
      {CORE_E_PASSPHRASE, 103},
      {CORE_E_READ_FILE, 126},
      {CORE_E_INVALID_KEY, 141},
      {CORE_E_SENDER, 151},
      {-28, 112},  // unknown codes fall back to "Key loading error"
      {1, 112},
      {-1000, 112},
  };
  for (const auto& c : cases) EXPECT_EQ(core_error_string_id(c.code), c.id) << c.code;
}
