#include "signer/operation_messages.h"

#include "core/core.h"
#include "ui/load_string.h"
#include "ui/message_box.h"

void ShowOperationError(int text_id, int caption_id) {
  ui::ShowMessageBoxFromStrings(text_id, caption_id, ui::kMbOk | ui::kMbIconError);
}

void ShowCoreError(int code, int caption_id) {
  const std::string text = code == 0 ? std::string() : ui::LoadResString(core_error_string_id(code));
  ui::ShowMessageBox(text, ui::LoadResString(caption_id), ui::kMbOk | ui::kMbIconError);
}
