// Reading a whole small file (public key card collections).
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

enum class FileRead { kOk, kMissing, kFailed };

// Reads the whole file into out. kMissing when it does not exist.
FileRead read_whole_file(const char* path, std::vector<uint8_t>* out);

}  // namespace platform
