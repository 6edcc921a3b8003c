// Writing a whole file so that readers see either the old or the new one.
#pragma once

#include <cstddef>

namespace platform {

// Why a file could not be replaced.
enum class ReplaceFailure {
  kNone,
  kCreate,    // the new file could not be made, or not put in place
  kWrite,     // it was made but its bytes could not be written (no room, a failing device)
  kNoMemory,
};

// Writes data to a new file beside path (readable by the user only), makes
// it durable, then renames it over path. On failure path is untouched, the
// new file is removed, and *failure (when given) tells why.
bool replace_file(const char* path, const void* data, size_t length, ReplaceFailure* failure = nullptr);

}  // namespace platform
