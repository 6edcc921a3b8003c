#include "platform/module_path.h"

#include "platform/win32/windows_api.h"

namespace platform {

namespace {

// A null module names the program's executable file.
std::string file_name_of(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return win32::narrow_utf8(path);
    }
    path.resize(path.size() * 2);  // cut short: ask again with more room
  }
}

}  // namespace

std::string module_file_name(const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCWSTR>(address), &module))
    return {};
  return file_name_of(module);
}

std::string executable_file_name() { return file_name_of(nullptr); }

}  // namespace platform
