#include "platform/ui_language.h"

#include "platform/win32/windows_api.h"

namespace platform {

// Russian when the user's interface language is Russian (any region), else English.
uint16_t user_ui_language() {
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_RUSSIAN ? kLangRussian : kLangEnglish;
}

}  // namespace platform
