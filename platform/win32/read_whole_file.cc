#include "platform/read_whole_file.h"

#include <string>

#include "platform/win32/windows_api.h"

namespace platform {

FileRead read_whole_file(const char* path, std::vector<uint8_t>* out) {
  out->clear();
  HANDLE file = CreateFileW(win32::widen_utf8(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileRead::kMissing
                                                                          : FileRead::kFailed;
  }
  uint8_t chunk[8192];
  FileRead result = FileRead::kOk;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
      result = FileRead::kFailed;
      break;
    }
    if (got == 0) break;
    out->insert(out->end(), chunk, chunk + got);
  }
  CloseHandle(file);
  if (result != FileRead::kOk) out->clear();
  return result;
}

}  // namespace platform
