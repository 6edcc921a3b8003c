#include "platform/ui_language.h"

#include "platform/posix/locale_env.h"

namespace platform {

uint16_t user_ui_language() {
  const std::string language =
      posix::locale_language({"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"});
  return language == "ru" ? kLangRussian : kLangEnglish;
}

}  // namespace platform
