#include "ui/backends/win32/dialog_template_builder.h"

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <cstring>
#include <string>

#include "ui/backends/win32/win32_text.h"

namespace ui::win32 {
namespace {

// Writes the words of a template; every item starts on a DWORD boundary.
class TemplateWriter {
 public:
  void Word(uint16_t w) { words_.push_back(w); }
  void Dword(uint32_t d) {
    Word(static_cast<uint16_t>(d & 0xFFFF));
    Word(static_cast<uint16_t>(d >> 16));
  }
  void Text(const std::wstring& text) {
    for (wchar_t c : text) Word(static_cast<uint16_t>(c));
    Word(0);
  }
  void AlignDword() {
    if (words_.size() % 2 != 0) Word(0);
  }
  std::vector<uint32_t> Finish() {
    AlignDword();
    std::vector<uint32_t> out(words_.size() / 2);
    std::memcpy(out.data(), words_.data(), words_.size() * sizeof(uint16_t));
    return out;
  }

 private:
  std::vector<uint16_t> words_;
};

}  // namespace

const wchar_t* ControlClassName(ControlKind kind) {
  switch (kind) {
    case ControlKind::Static: return L"STATIC";
    case ControlKind::Button:
    case ControlKind::DefaultButton:
    case ControlKind::CheckBox:
    case ControlKind::PushLikeCheckBox: return L"BUTTON";
    case ControlKind::Edit: return L"EDIT";
    case ControlKind::ListBox: return L"LISTBOX";
    case ControlKind::DropDownList:
    case ControlKind::ComboBox: return L"COMBOBOX";
    case ControlKind::TabControl: return WC_TABCONTROLW;
    case ControlKind::DatePicker: return DATETIMEPICK_CLASSW;
  }
  return L"STATIC";
}

uint32_t ControlStyle(const ControlLayout& control) {
  uint32_t style = WS_CHILD;
  if (!(control.style & kStyleHidden)) style |= WS_VISIBLE;
  const bool sorted = (control.style & kStyleSorted) != 0;
  switch (control.kind) {
    case ControlKind::Static:
      // Texts set at run time (key names) are shown as they are: "&" is no shortcut.
      style |= SS_NOPREFIX;
      // A shortened line is one line: the backend shortens its text to fit.
      style |= control.style & kStyleShortenAtStart ? SS_LEFTNOWORDWRAP : SS_LEFT;
      break;
    case ControlKind::Button:
      style |= BS_PUSHBUTTON | WS_TABSTOP;
      break;
    case ControlKind::DefaultButton:
      // One default button per dialog: OK (id 1), the one Enter presses.
      style |= (control.id == 1 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP;
      break;
    case ControlKind::CheckBox:
      style |= BS_AUTOCHECKBOX | WS_TABSTOP;
      break;
    case ControlKind::PushLikeCheckBox:
      style |= BS_AUTOCHECKBOX | BS_PUSHLIKE | WS_TABSTOP;
      break;
    case ControlKind::Edit:
      style |= WS_BORDER | WS_TABSTOP | ES_LEFT;
      if (control.style & kStylePassword) style |= ES_PASSWORD;
      if (control.style & kStyleAutoHScroll) style |= ES_AUTOHSCROLL;
      // Without ES_AUTOHSCROLL a multi-line edit wraps its lines at its width.
      if (control.style & kStyleMultiLine) style |= ES_MULTILINE;
      if (control.style & kStyleReadOnly) style |= ES_READONLY;
      if (control.style & kStyleVScroll) style |= WS_VSCROLL;
      break;
    case ControlKind::ListBox:
      style |= WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT;
      if (control.style & kStyleNotify) style |= LBS_NOTIFY;
      if (sorted) style |= LBS_SORT;
      break;
    case ControlKind::DropDownList:
      style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
      if (sorted) style |= CBS_SORT;
      break;
    case ControlKind::ComboBox:
      style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
      if (sorted) style |= CBS_SORT;
      break;
    case ControlKind::TabControl:
      style |= WS_TABSTOP;
      break;
    case ControlKind::DatePicker:
      style |= DTS_SHORTDATEFORMAT | DTS_RIGHTALIGN | WS_TABSTOP;
      break;
  }
  return style;
}

std::vector<uint32_t> BuildDialogTemplate(const DialogLayout& layout) {
  TemplateWriter w;
  uint32_t style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER | DS_SETFONT | DS_3DLOOK;
  if (layout.system_menu) style |= WS_SYSMENU;
  w.Word(1);       // dlgVer
  w.Word(0xFFFF);  // signature: DLGTEMPLATEEX
  w.Dword(0);      // helpID
  w.Dword(0);      // exStyle
  w.Dword(style);
  w.Word(static_cast<uint16_t>(layout.controls.size()));
  w.Word(0);
  w.Word(0);
  w.Word(static_cast<uint16_t>(layout.width));
  w.Word(static_cast<uint16_t>(layout.height));
  w.Word(0);  // no menu
  w.Word(0);  // the standard dialog class
  w.Text(Widen(layout.caption));
  w.Word(kDialogFontPoints);
  w.Word(FW_NORMAL);
  w.Word(DEFAULT_CHARSET << 8);  // italic 0, then the character set
  w.Text(Widen(kDialogFontName));
  for (const ControlLayout& control : layout.controls) {
    w.AlignDword();
    w.Dword(0);  // helpID
    w.Dword(0);  // exStyle
    w.Dword(ControlStyle(control));
    w.Word(static_cast<uint16_t>(control.rect.x));
    w.Word(static_cast<uint16_t>(control.rect.y));
    w.Word(static_cast<uint16_t>(control.rect.width));
    w.Word(static_cast<uint16_t>(control.rect.height));
    w.Dword(static_cast<uint32_t>(control.id));
    w.Text(ControlClassName(control.kind));
    w.Text(Widen(control.text));
    w.Word(0);  // no creation data
  }
  return w.Finish();
}

}  // namespace ui::win32
