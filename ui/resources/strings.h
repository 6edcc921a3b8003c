// The string table of both deliverables: ids from 100 up (not every id is
// used) in English (1033) and Russian (1049). Texts are kept here in UTF-8,
// the encoding every dialog and message box takes.
#pragma once

#include <cstdint>

namespace ui {

constexpr uint16_t kLangEnglish = 1033;
constexpr uint16_t kLangRussian = 1049;

constexpr int kFirstStringId = 100;

// The UTF-8 text of string `id` in `language` (1033 English, any other value
// Russian); nullptr when there is no such string.
const char* ResourceStringUtf8(int id, uint16_t language);

}  // namespace ui
