#include "ui/keyboard_layouts.h"

namespace ui {
namespace {

// Index order: the digits 0 to 9, the letters a to z, then ` - = [ ] \ ; ' , . /
// and the space bar.
constexpr KeyboardTable kEnglishLower = {
    '0', '1', '2', '3', '4', '5', '6', '7', '8', '9',
    'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm',
    'n', 'o', 'p', 'q', 'r', 's', 't', 'u', 'v', 'w', 'x', 'y', 'z',
    '`', '-', '=', '[', ']', '\\', ';', '\'', ',', '.', '/', ' ',
};

constexpr KeyboardTable kEnglishUpper = {
    ')', '!', '@', '#', '$', '%', '^', '&', '*', '(',
    'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M',
    'N', 'O', 'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z',
    '~', '_', '+', '{', '}', '|', ':', '"', '<', '>', '?', ' ',
};

// The Russian tables put the letters of the ЙЦУКЕН keyboard on the same keys.
constexpr KeyboardTable kRussianLower = {
    '0', '1', '2', '3', '4', '5', '6', '7', '8', '9',
    '\xF4', '\xE8', '\xF1', '\xE2', '\xF3', '\xE0', '\xEF', '\xF0', '\xF8',  // ф и с в у а п р ш
    '\xEE', '\xEB', '\xE4', '\xFC', '\xF2', '\xF9', '\xE7', '\xE9', '\xEA',  // о л д ь т щ з й к
    '\xFB', '\xE5', '\xE3', '\xEC', '\xF6', '\xF7', '\xED', '\xFF',          // ы е г м ц ч н я
    '\xB8', '-', '=', '\xF5', '\xFA', '\\', '\xE6', '\xFD', '\xE1', '\xFE',  // ё - = х ъ \ ж э б ю
    '.', ' ',
};

constexpr KeyboardTable kRussianUpper = {
    ')', '!', '"', '\xB9', ';', '%', ':', '?', '*', '(',                      // ) ! " № ; % : ? * (
    '\xD4', '\xC8', '\xD1', '\xC2', '\xD3', '\xC0', '\xCF', '\xD0', '\xD8',  // Ф И С В У А П Р Ш
    '\xCE', '\xCB', '\xC4', '\xDC', '\xD2', '\xD9', '\xC7', '\xC9', '\xCA',  // О Л Д Ь Т Щ З Й К
    '\xDB', '\xC5', '\xC3', '\xCC', '\xD6', '\xD7', '\xCD', '\xDF',          // Ы Е Г М Ц Ч Н Я
    '\xA8', '_', '+', '\xD5', '\xDA', '/', '\xC6', '\xDD', '\xC1', '\xDE',   // Ё _ + Х Ъ / Ж Э Б Ю
    ',', ' ',
};

}  // namespace

const KeyboardLayout kKeyboardLayouts[kKeyboardLayoutCount] = {
    {"Eng", &kEnglishLower, &kEnglishUpper},
    {"\xD0\xF3\xF1", &kRussianLower, &kRussianUpper},  // "Рус"
};

}  // namespace ui
