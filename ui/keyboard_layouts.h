// The on-screen keyboard's layouts: for each, a name and a lower and an upper
// table of 48 characters, one per character button (button id = 234 + index).
// Characters are single bytes of code page 1251.
#pragma once

#include <cstdint>

namespace ui {

constexpr int kKeyboardCodePage = 1251;
constexpr int kFirstCharacterKey = 234;
constexpr int kCharacterKeyCount = 48;
constexpr int kLastCharacterKey = kFirstCharacterKey + kCharacterKeyCount - 1;

using KeyboardTable = char[kCharacterKeyCount];

struct KeyboardLayout {
  const char* name;  // code page 1251
  const KeyboardTable* lower;
  const KeyboardTable* upper;
};

constexpr int kKeyboardLayoutCount = 2;
// 0 "Eng", 1 "Рус".
extern const KeyboardLayout kKeyboardLayouts[kKeyboardLayoutCount];

}  // namespace ui
