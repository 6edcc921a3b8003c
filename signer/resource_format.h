// printf-style formatting of the string table templates whose result is
// signed (the header and statement templates carry their own field widths).
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

// String `id` in the thread's UI language with its "%s" conversions (flags,
// width and precision counted in characters) filled with args in order, in
// `code_page` (the ANSI page or UTF-8). nullopt when the code page cannot hold
// one of its characters: a signed text never carries "?" in place of one.
std::optional<std::string> FormatResStringIn(int id, unsigned code_page,
                                             std::initializer_list<std::u16string_view> args);
