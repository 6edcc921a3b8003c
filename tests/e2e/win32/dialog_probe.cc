// Opens one dialog of the product with the Win32 backend for a test that
// drives it with xdotool, and tells on standard output, one line each, what
// the test needs to know: the dialog's texts as shown, every change of an
// edit field's text, each refresh, where the on-screen keyboard's keys are,
// and the outcome.
//
//   velix-dialog-probe sign|keyboard|box|dates|threads
#include <windows.h>
#undef PostMessage

#include <fcntl.h>
#include <io.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <thread>

#include "settings/config.h"
#include "ui/backends/win32/win32_backend.h"
#include "ui/backends/win32/win32_dialog_window.h"
#include "ui/dialog.h"
#include "ui/dialog_messages.h"
#include "ui/message_box.h"
#include "ui/screen_keyboard_dlg.h"
#include "ui/sign_dlg.h"
#include "ui/state_dlg.h"

namespace {

using namespace ui;

void Tell(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::putchar('\n');
  std::fflush(stdout);
}

class ProbeSignDlg : public CSignDlg {
 public:
  intptr_t OnInitDialog() override {
    const intptr_t result = CSignDlg::OnInitDialog();
    Tell("caption %s", Window()->Caption().c_str());
    for (int id : {kKeyLabel, kPassphraseLabel, kCmdOk, kCmdCancel}) {
      Tell("item %d %s", id, Window()->ItemText(id).c_str());
    }
    return result;
  }
  intptr_t OnCommand(uintptr_t wparam, intptr_t lparam, int code) override {
    if (CommandId(wparam) == kPassphrase && code == kEditChange) {
      Tell("text %d %s", kPassphrase, Window()->ItemText(kPassphrase).c_str());
    }
    return CSignDlg::OnCommand(wparam, lparam, code);
  }
  bool OnRefresh() override {
    const bool result = CSignDlg::OnRefresh();
    Tell("refresh %s", Window()->ItemText(kFileLayoutIndicator).c_str());
    return result;
  }
};

// Where the keys of the on-screen keyboard are, once it stands where it opens.
HWND g_keyboard = nullptr;

void CALLBACK TellKeyboardKeys(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  for (int id = kFirstCharacterKey; id <= CDlgScreenKeyboard::kLanguage; ++id) {
    HWND key = GetDlgItem(g_keyboard, id);
    if (key == nullptr) continue;
    RECT r{};
    GetWindowRect(key, &r);
    Tell("key %d %ld %ld", id, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }
  RECT enter{};
  GetWindowRect(GetDlgItem(g_keyboard, kCmdOk), &enter);
  Tell("key %d %ld %ld", kCmdOk, (enter.left + enter.right) / 2, (enter.top + enter.bottom) / 2);
  Tell("keyboard ready");
}

// A keyboard becomes active before its dialog procedure has placed it.
LRESULT CALLBACK WatchForKeyboard(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_ACTIVATE) {
    HWND window = reinterpret_cast<HWND>(wparam);
    if (GetDlgItem(window, CDlgScreenKeyboard::kLanguage) != nullptr) {
      g_keyboard = window;
      SetTimer(nullptr, 0, 500, &TellKeyboardKeys);
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

int RunSign(bool screen_keyboard) {
  Config& config = Config::Instance();
  config.keyList.Clear();
  config.keyList.Append("IVANOV", "C:\\keys\\secret.key");
  config.KeyIndex = 0;
  config.KeyType = 0;
  config.ReaskIndex = 1;  // "1 min."
  config.VK = screen_keyboard ? 1 : 0;
  config.keyList.Save();
  config.Save();
  HHOOK hook = screen_keyboard ? SetWindowsHookExW(WH_CBT, &WatchForKeyboard, nullptr, GetCurrentThreadId()) : nullptr;
  CDialogImp<ProbeSignDlg> dialog;
  const intptr_t result = dialog.DoModal(CSignDlg::kTemplateId, nullptr);
  if (hook != nullptr) UnhookWindowsHookEx(hook);
  Tell("result %d path=%s passphrase=%s reask=%d", static_cast<int>(result), dialog.KeyPath().c_str(),
       dialog.Passphrase().c_str(), dialog.ReaskSeconds());
  return 0;
}

class ProbeStateDlg : public CStateDlg {
 public:
  intptr_t OnInitDialog() override {
    Tell("caption %s", Window()->Caption().c_str());
    return CStateDlg::OnInitDialog();
  }
};

int RunDates() {
  CDialogImp<ProbeStateDlg> dialog;
  const intptr_t result = dialog.DoModal(CStateDlg::kTemplateId, nullptr);
  Tell("result %d from=%s to=%s", static_cast<int>(result), dialog.FromDate().c_str(), dialog.ToDate().c_str());
  return 0;
}

int RunBox() {
  // "Invalid passphrase", captioned "Error", as a wrong token password shows it.
  const int answer = ShowMessageBoxFromStrings(103, 101, kMbOk | kMbIconWarning);
  Tell("box %d", answer);
  return 0;
}

// Two threads each run a dialog at once, as two callers of velixcom may;
// when its dialog closes, each thread must still see its own as the active
// one (the owner of its message boxes), the first to close included.
win32::Win32DialogBackend* g_backend = nullptr;
HWND g_thread_dialog[2] = {};
HANDLE g_thread_opened[2] = {};
bool g_thread_saw_own[2] = {};

template <int kThread>
intptr_t ThreadDialogProc(DialogWindow* window, unsigned message, uintptr_t wparam, intptr_t) {
  HWND own = static_cast<win32::Win32DialogWindow*>(window)->Handle();
  if (message == kMsgInitDialog) {
    g_thread_dialog[kThread] = own;
    SetEvent(g_thread_opened[kThread]);
    return 1;
  }
  if (message == kMsgCommand && CommandId(wparam) == kCmdCancel) {
    g_thread_saw_own[kThread] = g_backend->ActiveDialog() == own;
    window->EndDialog(kResultCancel);
    return 1;
  }
  return 0;
}

int RunThreads(win32::Win32DialogBackend& backend) {
  g_backend = &backend;
  for (HANDLE& opened : g_thread_opened) opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread first([&] { backend.RunModal(CSignDlg::kTemplateId, nullptr, &ThreadDialogProc<0>); });
  const bool first_open = WaitForSingleObject(g_thread_opened[0], 20000) == WAIT_OBJECT_0;
  std::thread second([&] { backend.RunModal(CSignDlg::kTemplateId, nullptr, &ThreadDialogProc<1>); });
  const bool both_open = first_open && WaitForSingleObject(g_thread_opened[1], 20000) == WAIT_OBJECT_0;
  Tell("threads open %s", both_open ? "both" : "not both");
  if (!both_open) std::_Exit(1);  // a dialog that never opened cannot be closed
  // The first closes while the second still runs, then the second.
  PostMessageW(g_thread_dialog[0], WM_COMMAND, IDCANCEL, 0);
  first.join();
  PostMessageW(g_thread_dialog[1], WM_COMMAND, IDCANCEL, 0);
  second.join();
  Tell("threads active first=%s second=%s", g_thread_saw_own[0] ? "own" : "other",
       g_thread_saw_own[1] ? "own" : "other");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string scene = argc == 2 ? argv[1] : "";
  _setmode(_fileno(stdout), _O_BINARY);  // lines end in LF alone, as the test reads them
  win32::Win32DialogBackend backend;
  if (scene == "sign") return RunSign(false);
  if (scene == "keyboard") return RunSign(true);
  if (scene == "dates") return RunDates();
  if (scene == "box") return RunBox();
  if (scene == "threads") return RunThreads(backend);
  std::fprintf(stderr, "usage: %s sign|keyboard|box|dates|threads\n", argv[0]);
  return 2;
}
