// Creating a file that must not exist yet.
#pragma once

#include <cstddef>

namespace platform {

enum class NewFile { kWritten, kExists, kFailed };

// Creates path exclusively (never through a link) with its final mode,
// writes data and makes it durable. A file that is already there, of any
// kind, is left alone (kExists); on a failed write the new file is removed.
NewFile write_new_file(const char* path, const void* data, size_t length, bool private_to_user);

}  // namespace platform
