// Reading an existing file piece by piece at given offsets, into the caller's
// buffer: nothing is mapped, so a file that shrinks under the reader gives a
// short read, never a fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class FileReader {
 public:
  FileReader() = default;
  ~FileReader() { Close(); }
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  // Opens an existing regular file for reading. exclusive refuses the file
  // while another holder has it open exclusively, and keeps others out until
  // Close (an advisory lock: the "no sharing" of a Windows open). On failure
  // last_error() tells why (an errno value) and the result is false.
  bool Open(const std::string& path, bool exclusive);
  void Close();

  bool is_open() const { return fd_ >= 0; }
  // The file's size when it was opened.
  uint64_t size() const { return size_; }
  // Reads up to capacity bytes from offset: the count read (short only at the
  // file's current end), 0 at or past the end, or -1 on a read error.
  long ReadAt(uint64_t offset, void* buffer, size_t capacity);
  int last_error() const { return last_error_; }

 private:
  bool Fail(int error);

  int fd_ = -1;
  uint64_t size_ = 0;
  int last_error_ = 0;
};

}  // namespace platform
