// The "Ask again" list shared by the authorization and key management dialogs.
#pragma once

#include <string>

#include "ui/dialog_window.h"

namespace ui {

constexpr int kReaskItemCount = 10;

// The text of item `index`: "Never", "1 min." ... "60 min.", "Always".
std::string ReaskItemText(int index);
// Empties list `id` of `window`, adds the ten items and selects `selected`.
void FillReaskList(DialogWindow* window, int id, unsigned selected);
// The interval of item `index` in seconds: -1 never ask again, 0 always ask.
int ReaskSeconds(unsigned index);

}  // namespace ui
