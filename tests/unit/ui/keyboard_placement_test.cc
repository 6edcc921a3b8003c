#include "ui/keyboard_placement.h"

#include <gtest/gtest.h>

namespace {

using ui::PixelRect;

bool Overlaps(const PixelRect& a, const PixelRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TEST(KeyboardPlacement, BesideOrBelowTheDialogAndInsideTheArea) {
  const PixelRect area{0, 0, 1920, 1040};  // a 1080-line screen with a 40-pixel panel
  const int w = 750, h = 190;             // the keyboard
  const struct {
    const char* where;
    PixelRect dialog;
    PixelRect expected;
  } cases[] = {
      {"centred: below", {710, 420, 1210, 680}, {710, 682, 1460, 872}},
      {"at the right edge: below, moved left", {1500, 300, 1900, 560}, {1170, 562, 1920, 752}},
      {"at the bottom: to the right", {100, 800, 600, 1040}, {602, 800, 1352, 990}},
      {"bottom right: to the left", {1300, 800, 1800, 1040}, {548, 800, 1298, 990}},
      {"bottom, too wide to go beside: above", {50, 700, 1870, 1040}, {50, 508, 800, 698}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.where);
    const PixelRect placed = ui::PlaceKeyboard(c.dialog, w, h, area);
    EXPECT_EQ(placed.left, c.expected.left);
    EXPECT_EQ(placed.top, c.expected.top);
    EXPECT_EQ(placed.right, c.expected.right);
    EXPECT_EQ(placed.bottom, c.expected.bottom);
    EXPECT_FALSE(Overlaps(placed, c.dialog));
  }
  // No place fits: the top of the area, clear of the buttons along the
  // dialog's bottom (here an 800-line screen and the tall authorization
  // dialog); an unknown screen: just below.
  const PixelRect huge = ui::PlaceKeyboard({0, 0, 1920, 1040}, w, h, area);
  EXPECT_EQ(huge.top, 0);
  const PixelRect small_area{0, 0, 1024, 768};
  const PixelRect tall_dialog{324, 150, 700, 610};
  const PixelRect buttons{500, 570, 700, 600};  // OK and Cancel
  const PixelRect over = ui::PlaceKeyboard(tall_dialog, 560, 170, small_area);
  EXPECT_FALSE(Overlaps(over, buttons));
  EXPECT_GE(over.top, small_area.top);
  EXPECT_LE(over.bottom, small_area.bottom);
  const PixelRect unknown = ui::PlaceKeyboard({10, 20, 310, 220}, w, h, PixelRect{});
  EXPECT_EQ(unknown.left, 10);
  EXPECT_EQ(unknown.top, 222);
}

}  // namespace
