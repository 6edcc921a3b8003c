#include "ui/backends/win32/win32_backend.h"

#include <commctrl.h>
#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdlib>

#include "ui/backends/win32/win32_dialog_window.h"
#include "ui/backends/win32/win32_text.h"
#include "ui/dialog_messages.h"
#include "ui/language.h"
#include "ui/load_string.h"
#include "ui/resources/templates.h"
#include "ui/system_command_hook.h"

namespace ui::win32 {
namespace {

// The thread's CBT hook: a system command (a move by the caption, the menu
// key, a close) is reported to the dialog runtime, which refreshes the last
// dialog opened.
LRESULT CALLBACK CbtHook(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_SYSCOMMAND) ReportSystemCommand();
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

// The dialogs the calling thread runs now, outermost first, and its CBT hook
// while any runs. Per thread: dialogs run on the thread that asks for them,
// and velixcom.dll takes calls on several threads at once.
struct ThreadDialogs {
  std::vector<Win32DialogWindow*> running;
  HHOOK hook = nullptr;
};
thread_local ThreadDialogs t_dialogs;

}  // namespace

Win32DialogBackend::Win32DialogBackend()
    : previous_dialogs_(ActiveDialogBackend()), previous_boxes_(GetMessageBoxBackend()) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_DATE_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  SetDialogBackend(this);
  SetMessageBoxBackend(this);
  InstallResourceStrings();
}

Win32DialogBackend::~Win32DialogBackend() {
  SetDialogBackend(previous_dialogs_);
  SetMessageBoxBackend(previous_boxes_);
}

HWND Win32DialogBackend::ActiveDialog() const {
  return t_dialogs.running.empty() ? nullptr : t_dialogs.running.back()->Handle();
}

intptr_t Win32DialogBackend::RunModal(int template_id, DialogWindow* parent, DialogProc proc) {
  DialogLayout layout;
  if (!ResolveDialogTemplate(template_id, ThreadUiLanguage(), &layout)) return kResultFailed;
  auto* owner = dynamic_cast<Win32DialogWindow*>(parent);
  Win32DialogWindow window(std::move(layout), proc);
  ThreadDialogs& thread = t_dialogs;
  if (thread.running.empty()) thread.hook = SetWindowsHookExW(WH_CBT, &CbtHook, nullptr, GetCurrentThreadId());
  thread.running.push_back(&window);
  const intptr_t result = window.Run(owner != nullptr ? owner->Handle() : nullptr);
  thread.running.pop_back();
  if (thread.running.empty() && thread.hook != nullptr) {
    UnhookWindowsHookEx(thread.hook);
    thread.hook = nullptr;
  }
  return result;
}

std::wstring OpenFileFilter(const std::vector<FileFilter>& filters) {
  std::wstring text;
  for (const FileFilter& filter : filters) {
    text += Widen(filter.description);
    text += L'\0';
    text += Widen(filter.pattern);
    text += L'\0';
  }
  text += L'\0';
  return text;
}

bool Win32DialogBackend::ChooseOpenFile(const OpenFileRequest& request, std::string* path) {
  wchar_t file[MAX_PATH] = {};
  const std::wstring initial = Widen(request.initial_path);
  if (initial.size() >= MAX_PATH) return false;
  initial.copy(file, initial.size());
  const std::wstring filter = OpenFileFilter(request.filters);
  const std::wstring title = Widen(request.title);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = static_cast<DWORD>(request.filter_index + 1);
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrTitle = title.c_str();
  dialog.Flags = OFN_NOCHANGEDIR | OFN_EXPLORER | OFN_HIDEREADONLY;
  if (request.path_must_exist) dialog.Flags |= OFN_PATHMUSTEXIST;
  if (request.file_must_exist) dialog.Flags |= OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameW(&dialog)) return false;
  *path = ToUtf8(file);
  return true;
}

bool Win32DialogBackend::ChooseFolder(const std::string& title, std::string* path) {
  // The new-style browser (with its "Make New Folder" button) needs COM on
  // this thread; a thread already in another apartment gets the old style.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const std::wstring caption = Widen(title);
  wchar_t display[MAX_PATH] = {};
  BROWSEINFOW info{};
  info.pszDisplayName = display;
  info.lpszTitle = caption.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | (SUCCEEDED(com) ? BIF_NEWDIALOGSTYLE : 0);
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  bool ok = false;
  if (chosen != nullptr) {
    wchar_t folder[MAX_PATH] = {};
    ok = SHGetPathFromIDListW(chosen, folder) != FALSE;
    if (ok) *path = ToUtf8(folder);
    CoTaskMemFree(chosen);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return ok;
}

int Win32DialogBackend::ShowMessageBox(const MessageBoxRequest& request) {
  // Owned by the open dialog, if any, so that the box stays above it.
  const UINT type = request.type | MB_SETFOREGROUND | (ActiveDialog() == nullptr ? MB_TOPMOST : 0);
  const int answer =
      MessageBoxW(ActiveDialog(), Widen(request.text).c_str(), Widen(request.caption).c_str(), type);
  switch (answer) {
    case IDOK: return kIdOk;
    case IDYES: return kIdYes;
    case IDNO: return kIdNo;
    case 0: return kIdFailed;
    default: return kIdCancel;
  }
}

std::string LayoutLanguageName(const char* layout_name) {
  char* end = nullptr;
  const unsigned long layout = std::strtoul(layout_name, &end, 16);
  if (end == layout_name || *end != '\0') return "";
  char name[9] = {};
  const LCID locale = MAKELCID(LOWORD(layout), SORT_DEFAULT);
  if (GetLocaleInfoA(locale, LOCALE_SISO639LANGNAME, name, sizeof name) <= 0) return "";
  return name;
}

std::string Win32DialogBackend::KeyboardLayoutLanguage() const {
  char layout[KL_NAMELENGTH] = {};
  if (!GetKeyboardLayoutNameA(layout)) return "";
  return LayoutLanguageName(layout);
}

}  // namespace ui::win32
