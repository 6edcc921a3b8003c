#include "ui/backends/win32/win32_dialog_window.h"

#include <commctrl.h>
#include <oleauto.h>

#include <algorithm>
#include <vector>

#include "ui/backends/win32/dialog_template_builder.h"
#include "ui/backends/win32/win32_text.h"
#include "ui/dialog_messages.h"
#include "ui/system_command_hook.h"

namespace ui::win32 {
namespace {

// Carries the runtime's own posted messages (the refresh message, a page
// switch); they wait in the window's queue, in order.
constexpr UINT kWmPosted = WM_APP + 1;

std::wstring WindowText(HWND hwnd) {
  if (hwnd == nullptr) return L"";
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

PixelRect ToPixelRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

// The short date text of a date picker, as the user sees it.
std::wstring DatePickerText(HWND picker) {
  SYSTEMTIME date{};
  if (DateTime_GetSystemtime(picker, &date) != GDT_VALID) return L"";
  wchar_t text[256] = {};
  if (GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &date, nullptr, text, 256) == 0) return L"";
  return text;
}

// Sets a date picker from a date in the user's short format; other texts are ignored.
void SetDatePickerText(HWND picker, const std::wstring& text) {
  DATE date = 0;
  SYSTEMTIME time{};
  BSTR value = SysAllocString(text.c_str());
  const HRESULT parsed = VarDateFromStr(value, LOCALE_USER_DEFAULT, VAR_DATEVALUEONLY, &date);
  SysFreeString(value);
  if (SUCCEEDED(parsed) && VariantTimeToSystemTime(date, &time)) DateTime_SetSystemtime(picker, GDT_VALID, &time);
}

// A multi-line edit breaks lines at CR LF; the runtime's texts break them at LF.
std::wstring WithCrLf(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size() + text.size() / 16);
  for (wchar_t c : text) {
    if (c == L'\n') out += L'\r';
    out += c;
  }
  return out;
}

std::wstring WithoutCrLf(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')) out += text[i];
  return out;
}

// `text` as it fits the one line of static `item`: characters after a
// leading "scheme://" give way from their start to "…", so that its end shows.
std::wstring ShortenAtStart(HWND item, const std::wstring& text) {
  RECT client{};
  GetClientRect(item, &client);
  HDC dc = GetDC(item);
  if (dc == nullptr) return text;
  const HGDIOBJ old_font = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(item, WM_GETFONT, 0, 0)));
  const auto width = [&](const std::wstring& t) {
    SIZE size{};
    GetTextExtentPoint32W(dc, t.c_str(), static_cast<int>(t.size()), &size);
    return size.cx;
  };
  std::wstring shown = text;
  if (width(text) > client.right) {
    const size_t scheme_end = text.find(L"://");
    const std::wstring kept = scheme_end != std::wstring::npos ? text.substr(0, scheme_end + 3) : L"";
    std::wstring rest = text.substr(kept.size());
    while (!rest.empty() && width(kept + L"\u2026" + rest) > client.right) rest.erase(0, 1);
    shown = kept + L"\u2026" + rest;
  }
  SelectObject(dc, old_font);
  ReleaseDC(item, dc);
  return shown;
}

// Keys typed in the dialogs' modal loops, seen before the dialog manager: a
// character that no control takes as text is offered to the dialog first,
// and Space on a button counts as typed too (it would press the button).
// One hook a thread, however many dialogs are nested.
thread_local HHOOK t_key_hook = nullptr;
thread_local int t_key_hook_users = 0;

LRESULT CALLBACK KeyHook(int code, WPARAM wparam, LPARAM lparam) {
  const auto* msg = reinterpret_cast<const MSG*>(lparam);
  if (code == MSGF_DIALOGBOX && msg != nullptr) {
    const HWND root = GetAncestor(msg->hwnd, GA_ROOT);
    auto* window = root != nullptr && GetWindowLongPtrW(root, DWLP_DLGPROC) ==
                                          reinterpret_cast<LONG_PTR>(&Win32DialogWindow::DialogProcedure)
                       ? reinterpret_cast<Win32DialogWindow*>(GetWindowLongPtrW(root, DWLP_USER))
                       : nullptr;
    wchar_t typed = 0;
    if (window != nullptr && (msg->message == WM_CHAR || msg->message == WM_KEYDOWN)) {
      const LRESULT wants = SendMessageW(msg->hwnd, WM_GETDLGCODE, 0, 0);
      const bool takes_text = (wants & DLGC_WANTCHARS) != 0;
      const bool on_button = (wants & (DLGC_BUTTON | DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
      if (msg->message == WM_CHAR && msg->wParam >= 0x20 && msg->wParam != 0x7f && !takes_text)
        typed = static_cast<wchar_t>(msg->wParam);
      else if (msg->message == WM_KEYDOWN && msg->wParam == VK_SPACE && on_button)
        typed = L' ';
    }
    if (window != nullptr && typed != 0 && window->OfferTypedKey(typed)) return TRUE;
  }
  return CallNextHookEx(t_key_hook, code, wparam, lparam);
}

}  // namespace

Win32DialogWindow::Win32DialogWindow(DialogLayout layout, DialogProc proc)
    : layout_(std::move(layout)), proc_(proc) {
  for (const ControlLayout& control : layout_.controls) {
    if (control.id == -1) continue;
    kinds_[control.id] = control.kind;
    styles_[control.id] = control.style;
  }
}

Win32DialogWindow::~Win32DialogWindow() { ForgetSystemCommandTarget(this); }

intptr_t Win32DialogWindow::Run(HWND owner) {
  const std::vector<uint32_t> bytes = BuildDialogTemplate(layout_);
  if (t_key_hook_users++ == 0) t_key_hook = SetWindowsHookExW(WH_MSGFILTER, &KeyHook, nullptr, GetCurrentThreadId());
  const INT_PTR result =
      DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), owner,
                              &DialogProcedure, reinterpret_cast<LPARAM>(this));
  if (--t_key_hook_users == 0 && t_key_hook != nullptr) {
    UnhookWindowsHookEx(t_key_hook);
    t_key_hook = nullptr;
  }
  ForgetSystemCommandTarget(this);
  hwnd_ = nullptr;
  return result;
}

INT_PTR CALLBACK Win32DialogWindow::DialogProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, DWLP_USER, lparam);
    reinterpret_cast<Win32DialogWindow*>(lparam)->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<Win32DialogWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  return self != nullptr ? self->OnMessage(message, wparam, lparam) : FALSE;
}

intptr_t Win32DialogWindow::Deliver(unsigned message, uintptr_t wparam, intptr_t lparam) {
  return proc_(this, message, wparam, lparam);
}

INT_PTR Win32DialogWindow::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      // A dialog that chose its focus keeps it: the dialog manager would
      // otherwise move it to the first control.
      initializing_ = true;
      focus_chosen_ = false;
      const intptr_t result = Deliver(kMsgInitDialog, 0, 0);
      initializing_ = false;
      return focus_chosen_ ? FALSE : result;
    }
    case WM_DESTROY:
      Deliver(kMsgDestroy, 0, 0);
      ForgetSystemCommandTarget(this);
      SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
      if (emphasis_font_ != nullptr) DeleteObject(emphasis_font_);
      emphasis_font_ = nullptr;
      return TRUE;
    case WM_COMMAND:
      if (ended_) return TRUE;
      return Deliver(kMsgCommand, wparam, lparam);
    case WM_NOTIFY: {
      const auto* from = reinterpret_cast<const NMHDR*>(lparam);
      NotifyHeader header{this, from->idFrom, static_cast<int>(from->code)};
      return Deliver(kMsgNotify, wparam, reinterpret_cast<intptr_t>(&header));
    }
    case kWmPosted: {
      if (posted_.empty()) return TRUE;
      const PostedMessage posted = posted_.front();
      posted_.pop_front();
      if (!ended_) Deliver(posted.message, posted.wparam, posted.lparam);
      return TRUE;
    }
    case WM_INPUTLANGCHANGE:
      // A new keyboard layout is news for the layout indicators, like a
      // system command.
      ReportSystemCommand();
      return FALSE;
    default:
      return FALSE;
  }
}

// ---- the dialog ------------------------------------------------------------

void Win32DialogWindow::SetCaption(const std::string& text) { SetWindowTextW(hwnd_, Widen(text).c_str()); }

std::string Win32DialogWindow::Caption() const { return ToUtf8(WindowText(hwnd_)); }

void Win32DialogWindow::EndDialog(intptr_t result) {
  if (ended_) return;
  ended_ = true;
  ::EndDialog(hwnd_, result);
}

void Win32DialogWindow::PostMessage(unsigned message, uintptr_t wparam, intptr_t lparam) {
  posted_.push_back({message, wparam, lparam});
  PostMessageW(hwnd_, kWmPosted, 0, 0);
}

void Win32DialogWindow::MakeTopMost() {
  SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void Win32DialogWindow::ShowDialog() {
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
}

PixelRect Win32DialogWindow::ScreenRect() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  return ToPixelRect(r);
}

void Win32DialogWindow::MoveTo(int screen_left, int screen_top) {
  SetWindowPos(hwnd_, nullptr, screen_left, screen_top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

PixelRect Win32DialogWindow::AvailableScreenArea() const {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &info)) return {};
  return ToPixelRect(info.rcWork);
}

// ---- controls --------------------------------------------------------------

HWND Win32DialogWindow::Item(int id) const {
  return kinds_.count(id) != 0 && hwnd_ != nullptr ? GetDlgItem(hwnd_, id) : nullptr;
}

ControlKind Win32DialogWindow::KindOf(int id) const {
  const auto it = kinds_.find(id);
  return it == kinds_.end() ? ControlKind::Static : it->second;
}

unsigned Win32DialogWindow::StyleOf(int id) const {
  const auto it = styles_.find(id);
  return it == styles_.end() ? 0 : it->second;
}

bool Win32DialogWindow::HasItem(int id) const { return Item(id) != nullptr; }

void Win32DialogWindow::SetItemText(int id, const std::string& text, int code_page) {
  HWND item = Item(id);
  if (item == nullptr) return;
  const std::wstring wide = Widen(text, code_page);
  switch (KindOf(id)) {
    case ControlKind::DatePicker: SetDatePickerText(item, wide); break;
    case ControlKind::DropDownList:
    case ControlKind::ListBox:
    case ControlKind::TabControl: break;  // their text is their current item
    case ControlKind::Edit:
      SetWindowTextW(item, (StyleOf(id) & kStyleMultiLine ? WithCrLf(wide) : wide).c_str());
      break;
    case ControlKind::Static:
      SetWindowTextW(item, (StyleOf(id) & kStyleShortenAtStart ? ShortenAtStart(item, wide) : wide).c_str());
      break;
    default: SetWindowTextW(item, wide.c_str()); break;
  }
}

std::string Win32DialogWindow::ItemText(int id) const {
  HWND item = Item(id);
  if (item == nullptr) return "";
  switch (KindOf(id)) {
    case ControlKind::DatePicker: return ToUtf8(DatePickerText(item));
    case ControlKind::ListBox: return ItemTextAt(id, CurrentItem(id));
    case ControlKind::Edit:
      return ToUtf8(StyleOf(id) & kStyleMultiLine ? WithoutCrLf(WindowText(item)) : WindowText(item));
    default: return ToUtf8(WindowText(item));
  }
}

void Win32DialogWindow::ShowItem(int id, bool show) {
  if (HWND item = Item(id)) ShowWindow(item, show ? SW_SHOW : SW_HIDE);
}

bool Win32DialogWindow::IsItemVisible(int id) const {
  HWND item = Item(id);
  return item != nullptr && (GetWindowLongW(item, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32DialogWindow::EnableItem(int id, bool enable) {
  if (HWND item = Item(id)) EnableWindow(item, enable);
}

bool Win32DialogWindow::OfferTypedKey(wchar_t character) {
  return !ended_ && Deliver(kMsgTypedKey, static_cast<uintptr_t>(character), 0) != 0;
}

void Win32DialogWindow::EmphasizeItem(int id) {
  HWND item = Item(id);
  if (item == nullptr) return;
  // The dialog's font in bold, made once per window and freed with it.
  if (emphasis_font_ == nullptr) {
    LOGFONTW face{};
    if (GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0)), sizeof face, &face) != 0) {
      face.lfWeight = FW_BOLD;
      emphasis_font_ = CreateFontIndirectW(&face);
    }
  }
  if (emphasis_font_ != nullptr) SendMessageW(item, WM_SETFONT, reinterpret_cast<WPARAM>(emphasis_font_), TRUE);
  MessageBeep(MB_ICONWARNING);
}

PixelRect Win32DialogWindow::ItemRect(int id) const {
  HWND item = Item(id);
  if (item == nullptr) return {};
  RECT r{};
  GetWindowRect(item, &r);
  MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
  return ToPixelRect(r);
}

PixelRect Win32DialogWindow::ItemScreenRect(int id) const {
  HWND item = Item(id);
  if (item == nullptr) return {};
  RECT r{};
  GetWindowRect(item, &r);
  return ToPixelRect(r);
}

void Win32DialogWindow::MoveItem(int id, const PixelRect& rect) {
  if (HWND item = Item(id)) MoveWindow(item, rect.left, rect.top, rect.width(), rect.height(), TRUE);
}

void Win32DialogWindow::SetFocus(int id) {
  // Through the dialog manager, so that the default button follows the focus.
  HWND item = Item(id);
  if (item == nullptr) return;
  SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item), TRUE);
  if (initializing_) focus_chosen_ = true;
}

int Win32DialogWindow::FocusedItem() const {
  // The focus may be on a part of a control (the edit of a combo box).
  for (HWND focus = GetFocus(); focus != nullptr && focus != hwnd_; focus = GetParent(focus)) {
    if (GetParent(focus) == hwnd_) return GetDlgCtrlID(focus);
  }
  return 0;
}

void Win32DialogWindow::SetCheck(int id, bool checked) {
  if (HWND item = Item(id)) SendMessageW(item, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool Win32DialogWindow::IsChecked(int id) const {
  HWND item = Item(id);
  return item != nullptr && SendMessageW(item, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32DialogWindow::ResetContent(int id) {
  if (HWND item = Item(id)) SendMessageW(item, IsListBox(id) ? LB_RESETCONTENT : CB_RESETCONTENT, 0, 0);
}

int Win32DialogWindow::AddItem(int id, const std::string& text, intptr_t data, int code_page) {
  HWND item = Item(id);
  if (item == nullptr) return -1;
  const std::wstring wide = Widen(text, code_page);
  const bool list = IsListBox(id);
  const LRESULT at = SendMessageW(item, list ? LB_ADDSTRING : CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  if (at < 0) return -1;
  SendMessageW(item, list ? LB_SETITEMDATA : CB_SETITEMDATA, static_cast<WPARAM>(at), data);
  return static_cast<int>(at);
}

int Win32DialogWindow::ItemCount(int id) const {
  HWND item = Item(id);
  if (item == nullptr) return 0;
  const LRESULT count = SendMessageW(item, IsListBox(id) ? LB_GETCOUNT : CB_GETCOUNT, 0, 0);
  return count < 0 ? 0 : static_cast<int>(count);
}

std::string Win32DialogWindow::ItemTextAt(int id, int index) const {
  HWND item = Item(id);
  if (item == nullptr || index < 0 || index >= ItemCount(id)) return "";
  const bool list = IsListBox(id);
  const LRESULT length = SendMessageW(item, list ? LB_GETTEXTLEN : CB_GETLBTEXTLEN, index, 0);
  if (length < 0) return "";
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied =
      SendMessageW(item, list ? LB_GETTEXT : CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied < 0 ? 0 : static_cast<size_t>(copied));
  return ToUtf8(text);
}

intptr_t Win32DialogWindow::ItemData(int id, int index) const {
  HWND item = Item(id);
  if (item == nullptr || index < 0 || index >= ItemCount(id)) return -1;
  return SendMessageW(item, IsListBox(id) ? LB_GETITEMDATA : CB_GETITEMDATA, index, 0);
}

int Win32DialogWindow::FindItemPrefix(int id, const std::string& prefix) const {
  const std::wstring wanted = Widen(prefix);
  const int count = ItemCount(id);
  for (int i = 0; i < count; ++i) {
    const std::wstring text = Widen(ItemTextAt(id, i));
    if (text.size() < wanted.size()) continue;
    if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, text.c_str(), static_cast<int>(wanted.size()),
                       wanted.c_str(), static_cast<int>(wanted.size())) == CSTR_EQUAL) {
      return i;
    }
  }
  return -1;
}

void Win32DialogWindow::SetCurrentItem(int id, int index) {
  HWND item = Item(id);
  if (item == nullptr) return;
  SendMessageW(item, IsListBox(id) ? LB_SETCURSEL : CB_SETCURSEL, index, 0);
  // A long item in a combo box's edit field is shown from its start (a
  // token's name first, its serial number cut), not scrolled to its end.
  if (KindOf(id) == ControlKind::ComboBox) SendMessageW(item, CB_SETEDITSEL, 0, MAKELPARAM(0, 0));
}

int Win32DialogWindow::CurrentItem(int id) const {
  HWND item = Item(id);
  if (item == nullptr) return -1;
  const LRESULT index = SendMessageW(item, IsListBox(id) ? LB_GETCURSEL : CB_GETCURSEL, 0, 0);
  return index < 0 ? -1 : static_cast<int>(index);
}

void Win32DialogWindow::ShowDropDown(int id, bool show) {
  if (HWND item = Item(id); item != nullptr && !IsListBox(id)) SendMessageW(item, CB_SHOWDROPDOWN, show, 0);
}

int Win32DialogWindow::InsertTab(int id, int index, const std::string& text) {
  HWND item = Item(id);
  if (item == nullptr) return -1;
  std::wstring wide = Widen(text);
  TCITEMW tab{};
  tab.mask = TCIF_TEXT;
  tab.pszText = wide.data();
  return static_cast<int>(SendMessageW(item, TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&tab)));
}

int Win32DialogWindow::TabCount(int id) const {
  HWND item = Item(id);
  return item ? static_cast<int>(SendMessageW(item, TCM_GETITEMCOUNT, 0, 0)) : 0;
}

void Win32DialogWindow::SetCurrentTab(int id, int index) {
  if (HWND item = Item(id)) SendMessageW(item, TCM_SETCURSEL, index, 0);
}

int Win32DialogWindow::CurrentTab(int id) const {
  HWND item = Item(id);
  return item ? static_cast<int>(SendMessageW(item, TCM_GETCURSEL, 0, 0)) : -1;
}

}  // namespace ui::win32
