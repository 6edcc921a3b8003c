// The .reg hive parser on arbitrary bytes: it never crashes, and whatever it
// keeps is written back and read again unchanged and undamaged.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/reg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const platform::ParsedHive parsed = platform::parse_reg_file(text, "HKEY_CURRENT_USER");
  const std::string written = platform::format_reg_file(parsed.hive, "HKEY_CURRENT_USER");
  const platform::ParsedHive again = platform::parse_reg_file(written, "HKEY_CURRENT_USER");
  if (again.damaged || !(again.hive == parsed.hive)) std::abort();
  return 0;
}
