// A file mapped into memory, read-only or read-write, whole or in part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

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
  // again, last_error() tells why (an errno value), and the result is false.
  bool Open(const std::string& path, bool read_only, bool exclusive, uint64_t offset = 0,
            uint64_t length = 0);
  // Writes changes back (read-write mappings), unmaps and closes.
  void Close();

  bool is_open() const { return view_ != nullptr; }
  uint8_t* data() const { return view_; }
  size_t size() const { return view_size_; }
  uint64_t file_size() const { return file_size_; }
  int last_error() const { return last_error_; }

 private:
  bool Fail(int error);

  int fd_ = -1;
  void* mapping_ = nullptr;  // page-aligned start of the mapping
  size_t mapping_size_ = 0;
  uint8_t* view_ = nullptr;  // offset within the mapping
  size_t view_size_ = 0;
  uint64_t file_size_ = 0;
  bool read_only_ = true;
  int last_error_ = 0;
};

}  // namespace platform
