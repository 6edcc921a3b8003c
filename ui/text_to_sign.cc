#include "ui/text_to_sign.h"

#include <optional>

#include "ui/load_string.h"
#include "ui/visible_text.h"

namespace ui {
namespace {

constexpr int kFileDescriptionString = 174;  // "File: %s\nSize: %s bytes"

struct FileToSign {
  std::string name;
  uint64_t size;
};

struct Pending {
  std::optional<std::string> text;
  std::function<std::string()> make_text;
  std::optional<FileToSign> file;
};

Pending& pending() {
  static Pending value;
  return value;
}

// The string's two "%s" filled in order; the texts may hold any character.
std::string FormatTwo(const std::string& format, const std::string& first, const std::string& second) {
  std::string out;
  const std::string* args[] = {&first, &second};
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format.compare(i, 2, "%s") == 0 && next < 2) {
      out += *args[next++];
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

}  // namespace

void SetTextToSign(std::string text_utf8) { pending() = {std::move(text_utf8), nullptr, std::nullopt}; }

void SetTextToSignLater(std::function<std::string()> make_text_utf8) {
  pending() = {std::nullopt, std::move(make_text_utf8), std::nullopt};
}

void SetFileToSign(std::string name_utf8, uint64_t size) {
  pending() = {std::nullopt, nullptr, FileToSign{std::move(name_utf8), size}};
}

void ClearTextToSign() { pending() = {}; }

bool HasTextToSign() { return pending().text || pending().make_text || pending().file; }

std::string TextToSignForDisplay() {
  const Pending& p = pending();
  if (p.text) return VisibleText(*p.text);
  if (p.make_text) return VisibleText(p.make_text());
  if (p.file)
    return FormatTwo(LoadResString(kFileDescriptionString), VisibleText(p.file->name), std::to_string(p.file->size));
  return {};
}

}  // namespace ui
