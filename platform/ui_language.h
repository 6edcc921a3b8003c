// The user's user-interface language as a Windows language identifier.
#pragma once

#include <cstdint>

namespace platform {

constexpr uint16_t kLangEnglish = 1033;
constexpr uint16_t kLangRussian = 1049;

// 1049 when the locale language (LANGUAGE, LC_ALL, LC_MESSAGES, LANG: the first
// that is set) is Russian, else 1033.
uint16_t user_ui_language();

}  // namespace platform
