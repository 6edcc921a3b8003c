// Texts between the dialog runtime (UTF-8, or a named code page) and the
// wide-character Windows functions, so that Russian reaches the screen whole
// whatever the ANSI code page.
#pragma once

#include <string>
#include <string_view>

namespace ui::win32 {

// `bytes` in `code_page` (0: UTF-8) as wide text.
std::wstring Widen(std::string_view bytes, int code_page = 0);
std::string ToUtf8(std::wstring_view text);

}  // namespace ui::win32
