// Qt's own texts in the dialogs' language: the file and folder choosers and
// the message boxes' standard buttons come from Qt, not from our string
// table, so Qt's Russian translation (the system's, Debian's
// qttranslations5-l10n) is installed while the UI language is Russian.
#pragma once

#include <cstdint>

namespace ui::qt {

// Makes Qt's texts follow `language` (1049 Russian, anything else English);
// needs the application object. Without the translation files Qt stays English.
void FollowUiLanguage(uint16_t language);

}  // namespace ui::qt
