#include "ui/dialog_backend.h"

namespace ui {
namespace {
DialogBackend* g_backend = nullptr;
}  // namespace

void SetDialogBackend(DialogBackend* backend) { g_backend = backend; }
DialogBackend* ActiveDialogBackend() { return g_backend; }

std::vector<FileFilter> ParseFileFilters(const std::string& text) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : text) {
    if (c == '#') {
      parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  // Pairs end at the first empty description, as a double NUL ends the list.
  std::vector<FileFilter> filters;
  for (size_t i = 0; i + 1 < parts.size() && !parts[i].empty(); i += 2) {
    filters.push_back({parts[i], parts[i + 1]});
  }
  return filters;
}

}  // namespace ui
