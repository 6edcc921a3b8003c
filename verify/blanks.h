// Blanks: what may stand between and after documents and cards.
#pragma once

#include <cstddef>

inline bool only_blanks(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (text[i] != ' ' && text[i] != '\t' && text[i] != '\r' && text[i] != '\n') return false;
  return true;
}
