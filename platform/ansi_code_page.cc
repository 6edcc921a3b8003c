// The process's ANSI code page, the same rule on every system: the CodePage
// value under HKCU\Software\VelixCom overrides what the locale gives.
#include <cstdint>

#include "platform/codepage.h"
#include "platform/registry.h"

namespace platform {

unsigned stored_ansi_code_page() {
  RegKey key;
  if (key.Open(RegHive::kCurrentUser, "Software\\VelixCom") != kRegOk) return 0;
  uint32_t type = 0, value = 0, size = sizeof value;
  if (key.QueryValue("CodePage", &type, &value, &size) != kRegOk) return 0;
  if (type != kRegDword || size != sizeof value) return 0;
  return value == kCodePageCyrillic || value == kCodePageWestern ? value : 0;
}

unsigned ansi_code_page() {
  static const unsigned stored = stored_ansi_code_page();
  return stored != 0 ? stored : locale_ansi_code_page();
}

}  // namespace platform
