#include <gtest/gtest.h>

#include "core/user_id_check.h"

namespace {

TEST(UserIdCheck, KnownValues) {
  uint8_t field[kUserIdFieldSize] = {'a', 'b', 'c'};
  EXPECT_EQ(user_id_check(field), 0x1620);
  field[2] = 'd';
  EXPECT_NE(user_id_check(field), 0x1620);
}

}  // namespace
