#include "ui/language.h"

#include "platform/ui_language.h"

namespace ui {
namespace {
thread_local uint16_t t_language = 0;  // 0: not chosen yet
}  // namespace

uint16_t ThreadUiLanguage() {
  if (t_language == 0) t_language = platform::user_ui_language();
  return t_language;
}

void SetThreadUiLanguage(uint16_t language) { t_language = language; }

}  // namespace ui
