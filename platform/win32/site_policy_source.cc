// The administrator's policy as values under HKLM\Software\Policies\VelixCom:
// AllowedSites (REG_SZ, space-separated origins), AllowDevelopmentOrigins and
// OnlyAllowedSites (REG_DWORD), read as the "Name=value" lines the policy
// parser takes on every system.
#include "platform/site_policy_source.h"

#include "platform/win32/windows_api.h"

namespace platform {
namespace {

constexpr wchar_t kPolicyKey[] = L"Software\\Policies\\VelixCom";

}  // namespace

std::string os_read_site_policy(std::string* where, std::string* problem) {
  *where = "HKEY_LOCAL_MACHINE\\Software\\Policies\\VelixCom";
  HKEY key = nullptr;
  const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_READ, &key);
  if (opened == ERROR_FILE_NOT_FOUND) return {};
  if (opened != ERROR_SUCCESS) {
    *problem = *where + " cannot be read: " + win32::system_message(static_cast<DWORD>(opened));
    return {};
  }
  std::string lines;
  wchar_t sites[8192];
  DWORD size = sizeof sites;
  if (RegGetValueW(key, nullptr, L"AllowedSites", RRF_RT_REG_SZ, nullptr, sites, &size) == ERROR_SUCCESS)
    lines += "AllowedSites=" + win32::narrow_utf8(sites) + "\n";
  for (const wchar_t* name : {L"AllowDevelopmentOrigins", L"OnlyAllowedSites"}) {
    DWORD value = 0;
    size = sizeof value;
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS)
      lines += win32::narrow_utf8(name) + "=" + (value != 0 ? "1" : "0") + "\n";
  }
  RegCloseKey(key);
  return lines;
}

}  // namespace platform
