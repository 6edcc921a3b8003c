// Between the dialogs' byte texts and Qt's strings.
#pragma once

#include <QString>
#include <string>

#include "ui/dialog_window.h"

namespace ui::qt {

// A text in `code_page` (kUtf8Text: UTF-8) as a QString.
QString FromBytes(const std::string& text, int code_page = kUtf8Text);
// A QString in UTF-8, the dialogs' own encoding.
std::string ToUtf8(const QString& text);

}  // namespace ui::qt
