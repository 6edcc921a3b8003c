#include "ui/backends/qt/qt_text.h"

#include "platform/codepage.h"

namespace ui::qt {

QString FromBytes(const std::string& text, int code_page) {
  if (code_page == kUtf8Text) return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
  const std::u16string wide = platform::code_page_to_utf16(text, unsigned(code_page));
  return QString::fromUtf16(wide.data(), static_cast<int>(wide.size()));
}

std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace ui::qt
