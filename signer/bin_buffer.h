// A growable byte buffer. It keeps a NUL after its last byte (not counted in
// size()), so its content can also be read as a C text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

class BinBuffer {
 public:
  BinBuffer() = default;
  virtual ~BinBuffer();
  BinBuffer(const BinBuffer&) = delete;
  BinBuffer& operator=(const BinBuffer&) = delete;

  // Appends length bytes; throws std::bad_alloc when it cannot grow.
  void Append(const void* data, size_t length);
  void Append(std::string_view text) { Append(text.data(), text.size()); }

  const uint8_t* data() const { return size_ == 0 ? kEmpty : bytes_; }
  size_t size() const { return size_; }

 private:
  static constexpr uint8_t kEmpty[1] = {0};
  uint8_t* bytes_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;  // bytes allocated, the NUL included
};
