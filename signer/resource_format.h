// printf-style formatting of string table templates (the header and
// statement templates carry their own field widths).
#pragma once

#include <cstdio>
#include <string>

#include "ui/load_string.h"

// String `id` in the thread's UI language, filled with args.
template <class... Args>
std::string FormatResString(int id, Args... args) {
  const std::string format = ui::LoadResString(id);
  const int length = std::snprintf(nullptr, 0, format.c_str(), args...);
  if (length <= 0) return std::string();
  std::string out(static_cast<size_t>(length) + 1, '\0');
  std::snprintf(out.data(), out.size(), format.c_str(), args...);
  out.resize(static_cast<size_t>(length));
  return out;
}
