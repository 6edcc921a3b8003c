// Renders every dialog of the product in one language to PNG files with the
// Win32 backend, as the screen shows them (frame and caption included).
//
//   velix-render-dialogs OUT_DIR en|ru
//
// Run it on a display of its own: each window is read back from the screen.
#include <windows.h>
#undef PostMessage

#include <cstdio>
#include <string>
#include <vector>

#include "ui/backends/preview/dialog_scenes.h"
#include "ui/backends/win32/png_file.h"
#include "ui/backends/win32/win32_backend.h"
#include "ui/language.h"
#include "ui/resources/strings.h"

namespace {

std::string g_out_dir;
std::string g_next_name;
int g_failures = 0;

bool SaveWindowPicture(HWND window, const std::string& path) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT r{};
  GetWindowRect(window, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY | CAPTUREBLT) != FALSE;
    GdiFlush();
    const auto* first = static_cast<const uint8_t*>(bits);
    std::vector<uint8_t> pixels(first, first + static_cast<size_t>(width) * height * 4);
    ok = ok && ui::win32::WritePng(path, width, height, pixels);
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

// The window the user looks at now: the thread's active one, else its
// top visible one.
HWND FrontWindow() {
  if (HWND active = GetActiveWindow()) return active;
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM out) -> BOOL {
        if (!IsWindowVisible(hwnd)) return TRUE;
        *reinterpret_cast<HWND*>(out) = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Runs from the open window's message loop once it is laid out and painted.
void CALLBACK SnapOpenWindow(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  HWND window = FrontWindow();
  if (window == nullptr) {
    std::fprintf(stderr, "no window for %s\n", g_next_name.c_str());
    ++g_failures;
    return;
  }
  const std::string path = g_out_dir + "\\" + g_next_name + ".png";
  if (!SaveWindowPicture(window, path)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    ++g_failures;
  }
  EndDialog(window, IDCANCEL);
}

void SnapNextWindow(const std::string& name) {
  g_next_name = name;
  SetTimer(nullptr, 0, 700, &SnapOpenWindow);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::string(argv[2]) != "en" && std::string(argv[2]) != "ru")) {
    std::fprintf(stderr, "usage: %s OUT_DIR en|ru\n", argv[0]);
    return 2;
  }
  g_out_dir = argv[1];
  CreateDirectoryA(g_out_dir.c_str(), nullptr);
  ui::SetThreadUiLanguage(std::string(argv[2]) == "en" ? ui::kLangEnglish : ui::kLangRussian);
  ui::win32::Win32DialogBackend backend;
  ui::ShowEveryDialog(&SnapNextWindow);
  return g_failures == 0 ? 0 : 1;
}
