#include "ui/resources/templates.h"

#include "ui/resources/strings.h"

namespace ui {
namespace {

constexpr DialogRect kSame = {0, 0, 0, 0};

using K = ControlKind;

// Template 201: the user authorization dialog (no system menu).
constexpr ControlTemplate kAuthorization[] = {
    // Who asks, and the text that will be signed, above the key and the
    // passphrase: they come first in reading and in tab order.
    {495, K::Static, "Site:", "Сайт:", {7, 6, 30, 8}, kSame, kStyleHidden},
    {496, K::Static, "", nullptr, {38, 6, 205, 8}, kSame, kStyleHidden | kStyleShortenAtStart},
    {497, K::Static, "Text to sign:", "Подписываемый текст:", {7, 18, 236, 8}, kSame, kStyleHidden},
    {498, K::Edit, "", nullptr, {7, 28, 236, 84}, kSame,
     kStyleHidden | kStyleMultiLine | kStyleReadOnly | kStyleVScroll},
    {223, K::TabControl, "", nullptr, {7, 118, 236, 81}, kSame, 0},
    {-1, K::Static, " ", nullptr, {8, 131, 233, 67}, kSame, 0},
    {224, K::Static, "Secret key:", "Закрытый ключ:", {14, 137, 57, 9}, kSame, 0},
    {202, K::DropDownList, "", nullptr, {14, 147, 149, 70}, kSame, kStyleSortedInRussian},
    {203, K::Button, "Settings", "Настройки", {174, 146, 58, 14}, kSame, 0},
    {225, K::Static, "Passphrase:", "Кодовая фраза:", {15, 161, 40, 8}, {15, 161, 55, 8}, 0},
    {201, K::Edit, "", nullptr, {15, 172, 200, 14}, kSame, kStylePassword | kStyleAutoHScroll},
    {282, K::Static, "EN", nullptr, {220, 174, 10, 8}, kSame, 0},
    {493, K::Static, "Select token:", "Выберите токен:", {15, 137, 120, 8}, kSame, 0},
    {492, K::ComboBox, "", nullptr, {15, 147, 120, 70}, kSame, kStyleSorted},
    {226, K::Static, "Token password:", "Пароль к Token", {145, 137, 68, 8}, kSame, 0},
    {227, K::Edit, "", nullptr, {145, 147, 68, 14}, kSame, kStylePassword | kStyleAutoHScroll},
    {283, K::Static, "EN", nullptr, {220, 149, 10, 8}, kSame, 0},
    {232, K::Static, "Select private key:", "Выберите закрытый ключ:", {15, 164, 103, 8}, {15, 164, 120, 8}, 0},
    {229, K::ComboBox, "", nullptr, {15, 174, 144, 133}, {15, 174, 120, 133}, kStyleSorted},
    {228, K::Button, "Update", "Обновить", {163, 174, 69, 14}, {145, 174, 68, 14}, 0},
    {489, K::Static, "Ask again", "Переспрашивать", {7, 205, 59, 8}, kSame, 0},
    {204, K::DropDownList, "", nullptr, {7, 215, 62, 70}, kSame, 0},
    {1, K::DefaultButton, "OK", "Подтвердить", {122, 213, 61, 14}, kSame, 0},
    {2, K::Button, "Cancel", "Отменить", {193, 213, 50, 14}, kSame, 0},
    // What the dialog knows of the token before the PIN is typed.
    {494, K::Static, "", nullptr, {15, 189, 222, 8}, kSame, kStyleHidden},
};

// Template 202: the on-screen keyboard. The character keys' captions are
// placeholders; the keyboard labels them from the active layout.
constexpr int kKeyX[] = {9, 33, 58, 82, 106, 130, 154, 178, 202, 226, 250, 274, 298};

#define KEY(id, text, column, row) \
  {id, K::Button, text, nullptr, {kKeyX[column], row, 24, 16}, kSame, 0}

constexpr ControlTemplate kKeyboard[] = {
    KEY(270, "`", 0, 6), KEY(235, "1", 1, 6), KEY(236, "2", 2, 6), KEY(237, "3", 3, 6),
    KEY(238, "4", 4, 6), KEY(239, "5", 5, 6), KEY(240, "6", 6, 6), KEY(241, "7", 7, 6),
    KEY(242, "8", 8, 6), KEY(243, "9", 9, 6), KEY(234, "0", 10, 6), KEY(271, "-", 11, 6),
    KEY(272, "=", 12, 6),
    {385, K::Button, "Backspace", nullptr, {322, 6, 45, 16}, kSame, 0},

    KEY(260, "q", 0, 22), KEY(266, "w", 1, 22), KEY(248, "e", 2, 22), KEY(261, "r", 3, 22),
    KEY(263, "t", 4, 22), KEY(268, "y", 5, 22), KEY(264, "u", 6, 22), KEY(252, "i", 7, 22),
    KEY(258, "o", 8, 22), KEY(259, "p", 9, 22), KEY(273, "[", 10, 22), KEY(274, "]", 11, 22),
    KEY(275, "\\", 12, 22),

    {382, K::PushLikeCheckBox, "CAPS", nullptr, {9, 39, 24, 16}, kSame, 0},
    KEY(244, "a", 1, 39), KEY(262, "s", 2, 39), KEY(247, "d", 3, 39), KEY(249, "f", 4, 39),
    KEY(250, "g", 5, 39), KEY(251, "h", 6, 39), KEY(253, "j", 7, 39), KEY(254, "k", 8, 39),
    KEY(255, "l", 9, 39), KEY(276, ";", 10, 39), KEY(277, "'", 11, 39),
    {1, K::Button, "Enter", nullptr, {298, 39, 70, 16}, kSame, 0},

    {384, K::PushLikeCheckBox, "Shift", nullptr, {9, 55, 48, 16}, kSame, 0},
    KEY(269, "z", 2, 55), KEY(267, "x", 3, 55), KEY(246, "c", 4, 55), KEY(265, "v", 5, 55),
    KEY(245, "b", 6, 55), KEY(257, "n", 7, 55), KEY(256, "m", 8, 55), KEY(278, ",", 9, 55),
    KEY(279, ".", 10, 55), KEY(280, "/", 11, 55),
    {383, K::PushLikeCheckBox, "Shift", nullptr, {298, 55, 48, 16}, kSame, 0},
    {387, K::Button, "Lng", nullptr, {346, 55, 24, 16}, kSame, 0},
    {381, K::DropDownList, "", nullptr, {298, 55, 70, 60}, kSame, kStyleHidden | kStyleSorted},

    {281, K::Button, "", nullptr, {106, 71, 120, 14}, kSame, 0},
    // Filled from the string table: how the keys are used and where the keyboard is switched off.
    {388, K::Static, "", nullptr, {9, 89, 359, 17}, kSame, 0},
};

#undef KEY

// Template 203: key management.
constexpr ControlTemplate kKeyManagement[] = {
    // The Russian label needs the list's width: at 92 units it is cut after "доступных".
    {-1, K::Static, "Available keys list:", "Список доступных ключей:", {7, 7, 92, 8}, {7, 7, 183, 8}, 0},
    {205, K::ListBox, "", nullptr, {7, 18, 183, 198}, kSame, kStyleNotify},
    {206, K::Button, "Add", "Добавить", {193, 18, 58, 14}, kSame, 0},
    {221, K::Button, "Rename", "Переименовать", {193, 34, 58, 14}, kSame, 0},
    {209, K::Button, "Change", "Изменить", {193, 50, 58, 14}, kSame, 0},
    {207, K::Button, "Delete", "Удалить", {193, 66, 58, 14}, kSame, 0},
    {489, K::Static, "Ask again", "Переспрашивать", {193, 93, 59, 8}, kSame, 0},
    {204, K::DropDownList, "", nullptr, {193, 103, 62, 70}, kSame, 0},
    {490, K::CheckBox, "Keyboard", "Клавиатура", {193, 124, 60, 10}, kSame, kStyleHidden},
    {1, K::DefaultButton, "Close", "Закрыть", {193, 182, 58, 14}, kSame, 0},
    {6, K::DefaultButton, "Select", "Выбрать", {193, 202, 58, 14}, kSame, 0},
    // The site that opened key management, when a page did.
    {495, K::Static, "Site:", "Сайт:", {7, 222, 30, 8}, kSame, kStyleHidden},
    {496, K::Static, "", nullptr, {38, 222, 213, 8}, kSame, kStyleHidden | kStyleShortenAtStart},
};

// Template 204: one line of text input; the caption is set at run time.
constexpr ControlTemplate kTextInput[] = {
    {210, K::Edit, "", nullptr, {7, 6, 127, 14}, kSame, kStyleAutoHScroll},
    {1, K::DefaultButton, "OK", nullptr, {7, 25, 50, 14}, kSame, 0},
    {2, K::Button, "Cancel", nullptr, {84, 25, 50, 14}, kSame, 0},
};

// Template 205: statement dates.
constexpr ControlTemplate kStatementDates[] = {
    {-1, K::Static, "Start date:", "Начало периода:", {7, 7, 58, 8}, kSame, 0},
    {211, K::DatePicker, "", nullptr, {7, 16, 100, 15}, kSame, 0},
    {-1, K::Static, "End date:", "Окончание периода:", {7, 33, 70, 8}, kSame, 0},
    {213, K::DatePicker, "", nullptr, {7, 43, 100, 15}, kSame, 0},
    {1, K::DefaultButton, "OK", nullptr, {129, 18, 50, 14}, kSame, 0},
    {2, K::Button, "Cancel", nullptr, {129, 45, 50, 14}, kSame, 0},
};

// Template 206: a site velix does not know yet asks for the key. Refusing is
// the default button.
constexpr ControlTemplate kSiteConsent[] = {
    {300, K::Static, "", nullptr, {7, 7, 236, 26}, kSame, 0},
    {301, K::Button, "Allow once", "Разрешить один раз", {7, 38, 66, 14}, {7, 38, 74, 14}, 0},
    {302, K::Button, "Always allow this site", "Всегда разрешать этому сайту", {77, 38, 100, 14},
     {85, 38, 112, 14}, 0},
    {2, K::DefaultButton, "Refuse", "Отказать", {193, 38, 50, 14}, {201, 38, 42, 14}, 0},
};

template <size_t N>
constexpr DialogTemplate Make(int id, const char* caption, const char* caption_russian, int width,
                              int height, int height_russian, bool system_menu,
                              const ControlTemplate (&controls)[N]) {
  return {id, caption, caption_russian, width, height, height_russian, system_menu, controls, N};
}

constexpr DialogTemplate kTemplates[] = {
    Make(201, "User authorization", "Идентификация пользователя", 250, 234, 0, false, kAuthorization),
    Make(202, "Keyboard", "Клавиатура", 375, 110, 116, true, kKeyboard),
    Make(203, "Keys management", "Управление ключами", 258, 235, 0, true, kKeyManagement),
    Make(204, "", nullptr, 141, 46, 0, true, kTextInput),
    Make(205, "Statement request", "Запрос на выписку", 186, 65, 0, true, kStatementDates),
    Make(206, "Signing request", "Запрос на подпись", 250, 59, 0, false, kSiteConsent),
};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
  for (const DialogTemplate& t : kTemplates) {
    if (t.id == id) return &t;
  }
  return nullptr;
}

std::vector<int> DialogTemplateIds() {
  std::vector<int> ids;
  for (const DialogTemplate& t : kTemplates) ids.push_back(t.id);
  return ids;
}

bool ResolveDialogTemplate(int id, uint16_t language, DialogLayout* layout) {
  const DialogTemplate* t = FindDialogTemplate(id);
  if (t == nullptr || layout == nullptr) return false;
  const bool russian = language != kLangEnglish;
  layout->id = t->id;
  layout->caption = russian && t->caption_russian ? t->caption_russian : t->caption;
  layout->width = t->width;
  layout->height = russian && t->height_russian ? t->height_russian : t->height;
  layout->system_menu = t->system_menu;
  layout->controls.clear();
  for (size_t i = 0; i < t->control_count; ++i) {
    const ControlTemplate& c = t->controls[i];
    ControlLayout control{c.id, c.kind, russian && c.text_russian ? c.text_russian : c.text,
                          russian && c.rect_russian.width ? c.rect_russian : c.rect,
                          c.style & ~unsigned(kStyleSortedInRussian)};
    if (russian && (c.style & kStyleSortedInRussian)) control.style |= kStyleSorted;
    layout->controls.push_back(control);
  }
  return true;
}

}  // namespace ui
