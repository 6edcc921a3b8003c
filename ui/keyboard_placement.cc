#include "ui/keyboard_placement.h"

#include <algorithm>

namespace ui {
namespace {

constexpr int kGap = 2;  // pixels between the dialog and the keyboard

int Clamp(int value, int low, int high) { return high < low ? low : std::min(std::max(value, low), high); }

PixelRect At(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }

bool Inside(const PixelRect& r, const PixelRect& area) {
  return r.left >= area.left && r.top >= area.top && r.right <= area.right && r.bottom <= area.bottom;
}

}  // namespace

PixelRect PlaceKeyboard(const PixelRect& dialog, int width, int height, const PixelRect& area) {
  if (area.width() <= 0 || area.height() <= 0) return At(dialog.left, dialog.bottom + kGap, width, height);
  const int left_along = Clamp(dialog.left, area.left, area.right - width);
  const int top_along = Clamp(dialog.top, area.top, area.bottom - height);
  const PixelRect choices[] = {
      At(left_along, dialog.bottom + kGap, width, height),          // below
      At(dialog.right + kGap, top_along, width, height),            // right
      At(dialog.left - kGap - width, top_along, width, height),     // left
      At(left_along, dialog.top - kGap - height, width, height),    // above
  };
  for (const PixelRect& place : choices)
    if (Inside(place, area)) return place;
  // Over the dialog's top, where the site and the text are, never over its
  // bottom row with OK and Cancel.
  return At(left_along, area.top, width, height);
}

}  // namespace ui
