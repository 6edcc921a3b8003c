#include "ui/backends/qt/qt_text.h"

#include "platform/codepage.h"

namespace ui::qt {

QString FromBytes(const std::string& text, int code_page) {
  const unsigned page = code_page == kAnsiCodePage ? platform::ansi_code_page() : unsigned(code_page);
  const std::u16string wide = platform::code_page_to_utf16(text, page);
  return QString::fromUtf16(wide.data(), static_cast<int>(wide.size()));
}

std::string ToAnsi(const QString& text) {
  const std::u16string wide(reinterpret_cast<const char16_t*>(text.utf16()), text.size());
  return platform::utf16_to_ansi(wide).value_or("");
}

}  // namespace ui::qt
