// Files by name: whether one exists, removing it, and joining a directory
// and a file name with this platform's separator.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// True when the directory has an entry of this name (of any kind).
bool file_exists(const std::string& path);
// Removes a file; true when it is gone (a missing file counts as removed).
bool remove_file(const std::string& path);
// True for a path that names one file wherever the program runs: "/..." here,
// "C:\\..." or "\\\\server\\..." on Windows.
bool is_absolute_path(std::string_view path);
// directory + separator + name.
std::string join_path(std::string_view directory, std::string_view name);

}  // namespace platform
