#include "browser_registry.h"

#include "platform/win32/windows_api.h"

namespace register_host {

std::span<const Browser> browsers() {
  // Edge and Chrome read Chromium's manifest format, Firefox its own.
  static constexpr Browser kBrowsers[] = {
      {"Google Chrome", L"Software\\Google\\Chrome\\NativeMessagingHosts", ManifestKind::kChromium},
      {"Chromium", L"Software\\Chromium\\NativeMessagingHosts", ManifestKind::kChromium},
      {"Microsoft Edge", L"Software\\Microsoft\\Edge\\NativeMessagingHosts", ManifestKind::kChromium},
      {"Firefox", L"Software\\Mozilla\\NativeMessagingHosts", ManifestKind::kFirefox},
  };
  return kBrowsers;
}

bool register_manifest(const std::wstring& key, const std::wstring& manifest_path, std::string* why) {
  HKEY handle = nullptr;
  LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                nullptr, &handle, nullptr);
  if (result == ERROR_SUCCESS) {
    const DWORD size = static_cast<DWORD>((manifest_path.size() + 1) * sizeof(wchar_t));
    result = RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(manifest_path.c_str()), size);
    RegCloseKey(handle);
  }
  if (result == ERROR_SUCCESS) return true;
  *why = platform::win32::system_message(static_cast<DWORD>(result));
  return false;
}

int unregister(const std::wstring& key, std::string* why) {
  const LONG result = RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
  if (result == ERROR_SUCCESS) {
    // RegDeleteTree empties the key; the key itself goes with RegDeleteKey.
    const LONG removed = RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
    if (removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND) return 1;
    *why = platform::win32::system_message(static_cast<DWORD>(removed));
    return -1;
  }
  if (result == ERROR_FILE_NOT_FOUND) return 0;
  *why = platform::win32::system_message(static_cast<DWORD>(result));
  return -1;
}

}  // namespace register_host
