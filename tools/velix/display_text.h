// Text from a document or a card, made safe to show: always valid UTF-8, and
// on a terminal with control characters written as escapes, so that a user ID
// or a file name cannot forge a line of output.
#pragma once

#include <string>
#include <string_view>

// Bytes in a code page (1251, 1252 or 65001 for UTF-8) as valid UTF-8; bytes
// that are not valid in the page become U+FFFD.
std::string utf8_from_code_page(std::string_view bytes, unsigned code_page);

// Valid UTF-8 kept as it is; control characters (C0, DEL, C1), backslashes
// and bytes that are not UTF-8 written as \xNN (a backslash as \\).
std::string escape_for_terminal(std::string_view text);
