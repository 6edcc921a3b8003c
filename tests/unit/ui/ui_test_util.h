// Helpers shared by the dialog tests.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "tests/support/portable.h"
#include "ui/language.h"

namespace ui_test {

// Runs a test under a locale (the ANSI code page follows it) and a UI language.
class ScopedLocale {
 public:
  ScopedLocale(const char* locale, uint16_t language) : language_(ui::ThreadUiLanguage()) {
    const char* old = std::getenv("LC_ALL");
    had_ = old != nullptr;
    if (had_) old_ = old;
    test_support::set_env("LC_ALL", locale);
    ui::SetThreadUiLanguage(language);
  }
  ~ScopedLocale() {
    test_support::set_env("LC_ALL", had_ ? old_.c_str() : nullptr);
    ui::SetThreadUiLanguage(language_);
  }

 private:
  uint16_t language_;
  bool had_ = false;
  std::string old_;
};

inline ScopedLocale English() { return ScopedLocale("en_US.UTF-8", 1033); }
inline ScopedLocale Russian() { return ScopedLocale("ru_RU.UTF-8", 1049); }

// A fresh directory under the system's temporary directory, removed at the end.
class TempDir {
 public:
  // A directory of its own keeps test processes that ctest runs side by side apart.
  TempDir() : path_(test_support::make_temp_dir("velix-ui-")) {}
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string Write(const std::string& name, const std::string& content) const {
    const std::filesystem::path file = path_ / name;
    std::ofstream(file, std::ios::binary) << content;
    return file.string();
  }
  std::string Path(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// A secret key file's first two lines: the 36-character header and the
// 28-character name line, then the rest of a document.
inline std::string KeyFileText(const std::string& user_id, const std::string& eol = "\r\n") {
  std::string name_line = user_id;
  name_line.resize(20, ' ');
  name_line += "00012345";
  return std::string("NM 01 ") + std::string(30, '0') + eol + name_line + eol + "BODY" + eol;
}

}  // namespace ui_test
