// The language in which dialogs and strings are loaded on this thread.
#pragma once

#include <cstdint>

namespace ui {

// The thread's UI language: the user's default until SetThreadUiLanguage.
uint16_t ThreadUiLanguage();
// Makes dialogs and strings of this thread load in `language` from now on.
void SetThreadUiLanguage(uint16_t language);

}  // namespace ui
