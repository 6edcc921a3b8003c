// Every dialog and message box of the product, shown one after another with
// sample content, for the programs that render them to pictures. The backend
// that shows them is the active one; before each window opens, `snap_next`
// is called with the picture's name, and the caller's backend takes the
// picture and closes the window.
#pragma once

#include <functional>
#include <string>

namespace ui {

void ShowEveryDialog(const std::function<void(const std::string& name)>& snap_next);

}  // namespace ui
