// velix-register-host (Windows): registers velixhost.exe, the program beside
// this one, as a native-messaging host for the current user's Google Chrome,
// Chromium, Microsoft Edge and Firefox, or removes that registration. Needs
// no administrator. Exit status: 0 done, 1 something failed, 2 wrong usage.
#include <cstdio>
#include <string>

#include "browser_registry.h"
#include "host_manifest.h"
#include "manifest_templates.h"
#include "platform/win32/windows_api.h"

#include <shlobj.h>

namespace {

using namespace register_host;
using platform::win32::narrow_utf8;

void usage(FILE* to) {
  std::fputs(
      "usage: velix-register-host [--unregister] [--all]\n"
      "\n"
      "Registers velixhost.exe (the program beside this one) for Google Chrome,\n"
      "Chromium, Microsoft Edge and Firefox; --unregister removes the registration.\n"
      "The registry keys are written whether a browser is installed or not\n"
      "(--all, for the Linux command's users, changes nothing).\n",
      to);
}

std::wstring folder_of(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

std::wstring this_program() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return path.substr(0, length);
    path.resize(path.size() * 2);
  }
}

// The user's own manifests: %LOCALAPPDATA%\velix\NativeMessagingHosts.
std::wstring manifest_folder() {
  PWSTR local = nullptr;
  std::wstring folder;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local)))
    folder = std::wstring(local) + L"\\velix\\NativeMessagingHosts\\";
  CoTaskMemFree(local);
  return folder;
}

std::wstring manifest_path(const std::wstring& folder, ManifestKind kind) {
  const std::string file = std::string(kind == ManifestKind::kChromium ? "chromium" : "firefox") + "\\" + kHostName +
                           ".json";
  return folder + platform::win32::widen_utf8(file);
}

std::wstring host_key(const Browser& browser) {
  return std::wstring(browser.hosts_key) + L"\\" + platform::win32::widen_utf8(kHostName);
}

std::string shown_key(const Browser& browser) { return "HKEY_CURRENT_USER\\" + narrow_utf8(host_key(browser)); }

int register_all(const std::wstring& folder, const std::wstring& host) {
  int status = 0;
  for (const ManifestKind kind : {ManifestKind::kChromium, ManifestKind::kFirefox}) {
    const std::wstring path = manifest_path(folder, kind);
    std::string why;
    if (write_manifest(path, manifest_text(kind, narrow_utf8(host)), &why)) {
      std::printf("manifest written: %s\n", narrow_utf8(path).c_str());
    } else {
      std::printf("manifest %s: %s\n", narrow_utf8(path).c_str(), why.c_str());
      status = 1;
    }
  }
  if (status != 0) return status;  // no browser is pointed at a manifest that is not ours
  for (const Browser& browser : browsers()) {
    std::string why;
    std::printf("%s:\n", browser.label);
    if (register_manifest(host_key(browser), manifest_path(folder, browser.manifest), &why)) {
      std::printf("  registered: %s\n", shown_key(browser).c_str());
    } else {
      std::printf("  cannot write %s: %s\n", shown_key(browser).c_str(), why.c_str());
      status = 1;
    }
  }
  return status;
}

int unregister_all(const std::wstring& folder) {
  int status = 0;
  for (const Browser& browser : browsers()) {
    std::string why;
    std::printf("%s:\n", browser.label);
    switch (unregister(host_key(browser), &why)) {
      case 1: std::printf("  removed: %s\n", shown_key(browser).c_str()); break;
      case 0: std::printf("  was not registered\n"); break;
      default:
        std::printf("  cannot remove %s: %s\n", shown_key(browser).c_str(), why.c_str());
        status = 1;
    }
  }
  for (const ManifestKind kind : {ManifestKind::kChromium, ManifestKind::kFirefox}) {
    const std::wstring path = manifest_path(folder, kind);
    std::string why;
    const int removed = remove_manifest(path, &why);
    if (removed == 1) std::printf("manifest removed: %s\n", narrow_utf8(path).c_str());
    if (removed < 0) {
      std::printf("manifest %s: cannot remove it: %s\n", narrow_utf8(path).c_str(), why.c_str());
      status = 1;
    }
  }
  return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  bool remove = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--unregister") {
      remove = true;
    } else if (arg == L"--all") {
    } else if (arg == L"--help" || arg == L"-h") {
      usage(stdout);
      return 0;
    } else {
      usage(stderr);
      return 2;
    }
  }
  // Paths may hold any character: a console shows them as UTF-8 (as a pipe
  // gets them) for as long as this program runs.
  const UINT console_page = GetConsoleOutputCP();
  SetConsoleOutputCP(CP_UTF8);
  const std::wstring folder = manifest_folder();
  const std::wstring program = this_program();
  if (folder.empty() || program.empty()) {
    SetConsoleOutputCP(console_page);
    std::fputs("velix-register-host: cannot find the local application data folder or this program\n", stderr);
    return 1;
  }
  const int status = remove ? unregister_all(folder) : register_all(folder, folder_of(program) + L"velixhost.exe");
  std::fflush(stdout);
  if (console_page != 0) SetConsoleOutputCP(console_page);
  return status;
}
