// The user ID of a secret key file.
#pragma once

#include <string>

namespace ui {

// The user ID on the name line of the secret key file at `path`; the empty
// string when the file cannot be read or does not look like a key file.
std::string ReadKeyFileId(const std::string& path);

}  // namespace ui
