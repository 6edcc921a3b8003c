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

bool SetRequestOrigin(const std::string& origin) {
  // A cut origin would name another site: its end names the registrable domain.
  if (origin.size() > kMaxOriginLength) {
    stored_origin().clear();
    return false;
  }
  std::string clean = origin;
  for (char& c : clean)
    if (c < 0x21 || c > 0x7e) c = '?';
  stored_origin() = std::move(clean);
  return true;
}

const std::string& RequestOrigin() { return stored_origin(); }

std::string RequestOriginCaption() {
  if (stored_origin().empty()) return {};
  // Captions reach the dialog backend in UTF-8, as every dialog text does.
  const std::string words = ThreadUiLanguage() == kEnglish ? "request from " : "запрос от ";
  return words + stored_origin();
}

void ShowRequestOrigin(DialogWindow* window, int label_id, int value_id) {
  const bool shown = !stored_origin().empty();
  window->ShowItem(label_id, shown);
  window->ShowItem(value_id, shown);
  // The origin as the browser gave it; a line too narrow for it shortens its
  // start, so the registrable domain at its end stays in sight.
  if (shown) window->SetItemText(value_id, stored_origin());
}

}  // namespace ui
