// Writing a whole file so that readers see either the old or the new one.
#pragma once

#include <cstddef>

namespace platform {

// Writes data to a new file beside path (readable by the user only), makes
// it durable, then renames it over path. On failure path is untouched and
// the new file is removed. errno tells why.
bool replace_file(const char* path, const void* data, size_t length);

}  // namespace platform
