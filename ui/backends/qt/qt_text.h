// Between the dialogs' byte texts and Qt's strings.
#pragma once

#include <QString>
#include <string>

#include "ui/dialog_window.h"

namespace ui::qt {

// A text in `code_page` (kAnsiCodePage: the ANSI code page) as a QString.
QString FromBytes(const std::string& text, int code_page = kAnsiCodePage);
// A QString in the ANSI code page; characters it cannot hold become "?".
std::string ToAnsi(const QString& text);

}  // namespace ui::qt
