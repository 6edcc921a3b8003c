// A file mapped into memory, read-only or read-write, whole or in part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Why a file could not be mapped.
enum class MapError {
  kNone,
  kNotFound,      // no such file
  kInvalid,       // not a regular file, empty, or the range lies outside it
  kInUse,         // another holder has it open exclusively
  kAccessDenied,  // not allowed to open it this way
  kOther,
};

class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile() { Close(); }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Opens an existing file and maps length bytes from offset (length 0: to the
  // end). exclusive refuses the file while another holder has it open
  // exclusively (an advisory lock: the "no sharing" of the Windows mapping).
  // An empty file cannot be mapped. On failure everything opened is closed
  // again, last_error() tells why, and the result is false.
  bool Open(const std::string& path, bool read_only, bool exclusive, uint64_t offset = 0,
            uint64_t length = 0);
  // Writes changes back (read-write mappings), unmaps and closes.
  void Close();

  bool is_open() const { return view_ != nullptr; }
  uint8_t* data() const { return view_; }
  size_t size() const { return view_size_; }
  uint64_t file_size() const { return file_size_; }
  MapError last_error() const { return last_error_; }

 private:
  bool Fail(MapError error);

  static constexpr intptr_t kNoHandle = -1;
  intptr_t file_ = kNoHandle;     // the system's handle of the open file
  intptr_t section_ = kNoHandle;  // the mapping object, where the system has one
  void* mapping_ = nullptr;  // start of the mapping, aligned as the system wants
  size_t mapping_size_ = 0;
  uint8_t* view_ = nullptr;  // offset within the mapping
  size_t view_size_ = 0;
  uint64_t file_size_ = 0;
  bool read_only_ = true;
  MapError last_error_ = MapError::kNone;
};

}  // namespace platform
