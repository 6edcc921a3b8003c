// The string loader of the string table.
#pragma once

#include <string>

namespace ui {

// String `id` in the thread's UI language, in UTF-8 (what dialogs and message
// boxes take, whatever the ANSI code page). A missing string is empty.
std::string LoadResString(int id);

// String `format_id` (a printf format with one "%s") filled with `argument`
// (UTF-8).
std::string FormatResString(int format_id, const std::string& argument);

// Makes message boxes given by string id take their texts from LoadResString.
void InstallResourceStrings();

}  // namespace ui
