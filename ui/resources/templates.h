// The five dialog templates. A template is data: caption and size per
// language and its controls with their texts and positions in dialog units.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ui {

enum class ControlKind {
  Static,
  Button,
  DefaultButton,
  CheckBox,
  PushLikeCheckBox,
  Edit,
  ListBox,
  DropDownList,  // a combo box whose text cannot be edited
  ComboBox,      // an editable combo box
  TabControl,
  DatePicker,
};

enum ControlStyle : unsigned {
  kStyleHidden = 1u << 0,
  kStylePassword = 1u << 1,
  kStyleAutoHScroll = 1u << 2,
  kStyleSorted = 1u << 3,
  kStyleNotify = 1u << 4,
  kStyleSortedInRussian = 1u << 5,  // sorted in the Russian template only
  // An edit of several lines that the user reads but cannot change, with a
  // vertical scroll bar: always plain text, never rich text.
  kStyleMultiLine = 1u << 6,
  kStyleReadOnly = 1u << 7,
  kStyleVScroll = 1u << 8,
  // A one-line label whose text, when too wide, loses characters at its start
  // (after a leading "scheme://") and shows "…" there, so that its end shows.
  kStyleShortenAtStart = 1u << 9,
};

// Position and size in dialog units.
struct DialogRect {
  int x, y, width, height;
};

// A control as the resources describe it, for both languages.
struct ControlTemplate {
  int id;  // -1: a label or frame that no code addresses
  ControlKind kind;
  const char* text;          // UTF-8, English
  const char* text_russian;  // nullptr: the same as the English text
  DialogRect rect;
  DialogRect rect_russian;  // width 0: the same as the English position
  unsigned style;
};

struct DialogTemplate {
  int id;
  const char* caption;          // UTF-8, English; "" for no title
  const char* caption_russian;  // nullptr: the same as the English caption
  int width, height;
  int height_russian;  // 0: the same as the English height
  bool system_menu;
  const ControlTemplate* controls;
  size_t control_count;
};

constexpr const char* kDialogFontName = "MS Sans Serif";
constexpr int kDialogFontPoints = 8;

// One control of a template in one language.
struct ControlLayout {
  int id;
  ControlKind kind;
  std::string text;  // UTF-8
  DialogRect rect;
  unsigned style;  // kStyleSortedInRussian already resolved into kStyleSorted
};

// A template in one language, ready to be built by a backend.
struct DialogLayout {
  int id = 0;
  std::string caption;  // UTF-8
  int width = 0, height = 0;
  bool system_menu = false;
  std::vector<ControlLayout> controls;
};

const DialogTemplate* FindDialogTemplate(int id);

// The template `id` in `language` (1033 English, any other value Russian);
// false when there is no such template.
bool ResolveDialogTemplate(int id, uint16_t language, DialogLayout* layout);

// The ids of all templates, in order.
std::vector<int> DialogTemplateIds();

}  // namespace ui
