// The registrar writes through the registry's ANSI functions, which read
// texts in the system's ANSI code page (CP_ACP), the one COM reads the path
// back with.
#include "comserver/registrar.h"

#include "comserver/com_api.h"
#include "platform/codepage.h"

std::optional<std::string> registry_text_of_path(const std::string& utf8_path) {
  const std::u16string text = platform::utf8_to_utf16(utf8_path);
  if (text.empty()) return std::string();
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  BOOL lossy = FALSE;
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, nullptr, &lossy);
  if (size <= 0 || lossy) return std::nullopt;
  std::string ansi(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, length, ansi.data(), size, nullptr, &lossy);
  if (lossy) return std::nullopt;
  return ansi;
}
