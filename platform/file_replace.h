// Whole-file reading and crash-safe replacement of small files (key files and
// public key card collections).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

enum class FileRead { kOk, kMissing, kFailed };

// Reads the whole file into out. kMissing when it does not exist.
FileRead read_whole_file(const char* path, std::vector<uint8_t>* out);

enum class FileReplace { kOk, kCreateFailed, kWriteFailed };

// Replaces the file's content with data: the bytes go to a temporary file in
// the same folder, which is flushed to disk and renamed over the file, so the
// file holds either its old or its new content, never a part. New files are
// readable by the user only.
FileReplace replace_file(const char* path, const void* data, size_t length);

}  // namespace platform
