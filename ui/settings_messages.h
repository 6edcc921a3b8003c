// Message boxes about the user's settings: names and paths the key list cannot
// hold, and settings that could not be stored.
#pragma once

#include <string>

namespace ui {

constexpr int kStringKeyNameTooLong = 165;  // "The key name is too long: at most %s bytes can be stored."
constexpr int kStringKeyPathTooLong = 166;  // "The key file path is too long: ..."
constexpr int kStringSettingsNotSaved = 167;  // "The settings were not saved: %s"

// An error box with string text_id (a format with one "%s") filled with detail.
void ShowSettingsError(int text_id, const std::string& detail);

}  // namespace ui
