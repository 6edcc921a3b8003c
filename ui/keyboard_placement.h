// Where the on-screen keyboard goes: beside or below the dialog it types
// into, never over it (so never over its OK and Cancel buttons), and inside
// the screen's available area (the screen without task bars and panels).
#pragma once

#include "ui/dialog_window.h"

namespace ui {

// The keyboard's top-left corner for a keyboard of the given size. Tried in
// order: below the dialog, to its right, to its left, above it; the first
// place that fits in the area wins, moved along the dialog's edge to stay in
// the area. When none fits, the keyboard goes to the area's top edge: it may
// cover the dialog's upper part, but not the OK and Cancel buttons at its
// bottom.
// An empty area (unknown screen) puts the keyboard just below the dialog.
PixelRect PlaceKeyboard(const PixelRect& dialog, int width, int height, const PixelRect& area);

}  // namespace ui
