#include "ui/backends/win32/win32_text.h"

#include "platform/codepage.h"

namespace ui::win32 {

std::wstring Widen(std::string_view bytes, int code_page) {
  const unsigned page = code_page == 0 ? platform::kCodePageUtf8 : static_cast<unsigned>(code_page);
  const std::u16string wide = platform::code_page_to_utf16(bytes, page);
  return std::wstring(wide.begin(), wide.end());
}

std::string ToUtf8(std::wstring_view text) {
  return platform::utf16_to_utf8(std::u16string(text.begin(), text.end()));
}

}  // namespace ui::win32
