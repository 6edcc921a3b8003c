// A file mapped for the signer: the file is opened, mapped and guarded by its
// own mutex; lock() hands out the view once the mutex is taken.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/mapped_file.h"

class CMemMapFile {
 public:
  static constexpr uint32_t kInfinite = 0xFFFFFFFF;

  CMemMapFile() = default;
  virtual ~CMemMapFile() { close(); }
  CMemMapFile(const CMemMapFile&) = delete;
  CMemMapFile& operator=(const CMemMapFile&) = delete;

  // Maps length bytes from offset (length 0: to the end) of an existing file.
  // exclusive keeps other exclusive openers out while the file is mapped. On
  // failure everything is closed again, last_error() tells why, and the
  // result is false.
  bool open(const std::string& path, bool read_only, bool exclusive, uint64_t offset = 0, uint64_t length = 0);
  // Waits up to timeout_ms (kInfinite: for ever) for the mutex; the view, or
  // nullptr when nothing is mapped or the wait timed out.
  const uint8_t* lock(uint32_t timeout_ms);
  // Releases the mutex if locked, unmaps and closes the file.
  void close();

  uint64_t size() const { return file_.file_size(); }
  size_t view_size() const { return file_.size(); }
  platform::MapError last_error() const { return file_.last_error(); }

 private:
  platform::MappedFile file_;
  std::timed_mutex mutex_;
  bool locked_ = false;
};
