// Prints the text of one control of a dialog another process shows, so that
// a test driving the dialog with xdotool can check what it typed before it
// presses Enter (keys get lost).
//
//   dialog_text TITLE_PREFIX CONTROL_ID
//
// The first visible top-level window whose title starts with TITLE_PREFIX
// (ASCII); prints the control's text in UTF-8 and exits 0, or exits 1 when
// there is no such window or control.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Search {
  std::wstring prefix;
  HWND found = nullptr;
};

BOOL CALLBACK MatchTitle(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  wchar_t title[256] = {};
  GetWindowTextW(window, title, 256);
  if (IsWindowVisible(window) && std::wstring(title).rfind(search->prefix, 0) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: dialog_text TITLE_PREFIX CONTROL_ID\n");
    return 2;
  }
  Search search;
  for (const char* c = argv[1]; *c != '\0'; ++c) search.prefix += static_cast<wchar_t>(static_cast<unsigned char>(*c));
  EnumWindows(&MatchTitle, reinterpret_cast<LPARAM>(&search));
  HWND control = search.found != nullptr ? GetDlgItem(search.found, std::atoi(argv[2])) : nullptr;
  if (control == nullptr) return 1;
  wchar_t text[512] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(control, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &copied))
    return 1;
  char utf8[2048] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  std::printf("%s\n", utf8);
  return 0;
}
