// The form in which a text to be signed is shown to the user, so that no
// character can hide or reorder what is read.
//
// Line feeds (alone or after a carriage return) stay line breaks ("\n").
// Every other control character (C0, DEL, C1, a lone carriage return), the
// bidirectional controls and the invisible formatting characters become an
// escape "[U+XXXX]" with the code point in upper-case hexadecimal. A "[" that
// would start such an escape in the text itself is shown as "[U+005B]", so
// every "[U+" on screen is an escape. A byte that is not UTF-8 shows as
// "[U+DCxx]" (xx its value), a code point no valid text can hold.
#pragma once

#include <string>
#include <string_view>

namespace ui {

std::string VisibleText(std::string_view utf8);

// Whether code point `c` is shown as an escape (line feed is not).
bool IsHiddenCharacter(char32_t c);

}  // namespace ui
