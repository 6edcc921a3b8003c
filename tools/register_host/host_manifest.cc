#include "host_manifest.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "manifest_templates.h"
#include "platform/replace_file.h"
#include "platform/win32/windows_api.h"

namespace register_host {

std::string json_string_body(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
      out += escape;
    } else {
      out += c;
    }
  }
  return out;
}

std::string manifest_text(ManifestKind kind, std::string_view host_path) {
  std::string text = kind == ManifestKind::kChromium ? kChromiumManifestTemplate : kFirefoxManifestTemplate;
  static constexpr std::string_view kMarker = "@HOST_PATH@";
  const size_t at = text.find(kMarker);
  if (at != std::string::npos) text.replace(at, kMarker.size(), json_string_body(host_path));
  return text;
}

bool write_manifest(const std::wstring& path, const std::string& text, std::string* why) {
  // A manifest there that cannot be read may be someone else's: keep it.
  HANDLE existing = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (existing != INVALID_HANDLE_VALUE) {
    CloseHandle(existing);
  } else if (const DWORD error = GetLastError(); error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
    *why = "cannot read it (" + platform::win32::system_message(error) + "): left as it is";
    return false;
  }
  std::error_code failure;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), failure);
  if (failure) {
    *why = "cannot create its folder: " + failure.message();
    return false;
  }
  if (!platform::replace_file(platform::win32::narrow_utf8(path).c_str(), text.data(), text.size())) {
    *why = "cannot write it";
    return false;
  }
  return true;
}

int remove_manifest(const std::wstring& path, std::string* why) {
  if (DeleteFileW(path.c_str())) return 1;
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return 0;
  *why = platform::win32::system_message(error);
  return -1;
}

}  // namespace register_host
