#include "ui/request_origin.h"

#include "ui/language.h"

namespace ui {
namespace {

constexpr uint16_t kEnglish = 1033;

std::string& stored_origin() {
  static std::string origin;
  return origin;
}

}  // namespace

void SetRequestOrigin(const std::string& origin) {
  std::string clean = origin.substr(0, kMaxOriginLength);
  for (char& c : clean)
    if (c < 0x21 || c > 0x7e) c = '?';
  stored_origin() = std::move(clean);
}

const std::string& RequestOrigin() { return stored_origin(); }

std::string RequestOriginCaption() {
  if (stored_origin().empty()) return {};
  // Captions reach the dialog backend in UTF-8, as every dialog text does.
  const std::string words = ThreadUiLanguage() == kEnglish ? "request from " : "запрос от ";
  return words + stored_origin();
}

}  // namespace ui
