#include "ui/settings_messages.h"

#include "ui/load_string.h"
#include "ui/message_box.h"

namespace ui {

void ShowSettingsError(int text_id, const std::string& detail) {
  constexpr int kErrorCaption = 101;  // "Error"
  ShowMessageBox(FormatResString(text_id, detail), LoadResString(kErrorCaption), kMbOk | kMbIconError);
}

}  // namespace ui
