#include "ui/load_string.h"

#include <cstdio>

#include "platform/codepage.h"
#include "ui/language.h"
#include "ui/message_box.h"
#include "ui/resources/strings.h"

namespace ui {
namespace {
constexpr size_t kMaxStringCharacters = 1020;  // the loader's buffer limit
}  // namespace

std::string LoadResString(int id) {
  const char* text = ResourceStringUtf8(id, ThreadUiLanguage());
  if (text == nullptr) return "";
  std::u16string wide = platform::utf8_to_utf16(text);
  if (wide.size() <= kMaxStringCharacters) return text;
  wide.resize(kMaxStringCharacters);
  return platform::utf16_to_utf8(wide);
}

std::string FormatResString(int format_id, const std::string& argument) {
  char text[2048];
  std::snprintf(text, sizeof text, LoadResString(format_id).c_str(), argument.c_str());
  return text;
}

void InstallResourceStrings() { SetMessageStringLoader(&LoadResString); }

}  // namespace ui
