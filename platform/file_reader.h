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

  // Opens an existing regular file for reading. exclusive keeps others out
  // until Close: on Linux an advisory lock, refused while another holder has
  // the file open exclusively; on Windows an open that shares the file with
  // readers only, refused while someone has it open for writing, and keeping
  // writers out. On failure last_error() tells why (an errno value) and the
  // result is false.
  bool Open(const std::string& path, bool exclusive);
  void Close();

  bool is_open() const { return handle_ != kNoHandle; }
  // The file's size when it was opened.
  uint64_t size() const { return size_; }
  // Reads up to capacity bytes from offset: the count read (short only at the
  // file's current end), 0 at or past the end, or -1 on a read error.
  long ReadAt(uint64_t offset, void* buffer, size_t capacity);
  int last_error() const { return last_error_; }

 private:
  bool Fail(int error);

  static constexpr intptr_t kNoHandle = -1;
  intptr_t handle_ = kNoHandle;  // the file descriptor, or the Windows file handle
  uint64_t size_ = 0;
  int last_error_ = 0;
};

}  // namespace platform
