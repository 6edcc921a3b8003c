#include "platform/user_folders.h"

#include "platform/win32/windows_api.h"

namespace platform {

std::string os_user_state_directory() {
  wchar_t folder[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return win32::narrow_utf8(std::wstring_view(folder, length)) + "\\velix";
}

std::string os_user_runtime_directory() { return os_user_state_directory(); }

}  // namespace platform
