#include "ui/load_string.h"

#include <cstdio>

#include "platform/codepage.h"
#include "ui/language.h"
#include "ui/message_box.h"
#include "ui/resources/strings.h"

namespace ui {
namespace {
constexpr size_t kMaxStringBytes = 1020;  // the loader's buffer limit
}  // namespace

std::string LoadResString(int id) {
  const char* text = ResourceStringUtf8(id, ThreadUiLanguage());
  if (text == nullptr) return "";
  std::string ansi = platform::convert_code_page(text, platform::kCodePageUtf8,
                                                 platform::ansi_code_page())
                         .value_or("");
  if (ansi.size() > kMaxStringBytes) ansi.resize(kMaxStringBytes);
  return ansi;
}

std::string FormatResString(int format_id, const std::string& argument) {
  char text[2048];
  std::snprintf(text, sizeof text, LoadResString(format_id).c_str(), argument.c_str());
  return text;
}

void InstallResourceStrings() { SetMessageStringLoader(&LoadResString); }

}  // namespace ui
