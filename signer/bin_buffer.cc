#include "signer/bin_buffer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "core/crypto.h"

BinBuffer::~BinBuffer() {
  // The digest input holds the deployment's digest prefix.
  if (bytes_ != nullptr) secure_wipe(bytes_, capacity_);
  delete[] bytes_;
}

void BinBuffer::Append(const void* data, size_t length) {
  if (length == 0) return;
  if (length > SIZE_MAX / 2 - size_) throw std::bad_alloc();
  const size_t needed = size_ + length + 1;
  if (needed > capacity_) {
    const size_t capacity = std::max(needed, capacity_ * 2);
    auto* grown = new uint8_t[capacity];
    if (size_ != 0) std::memcpy(grown, bytes_, size_);
    if (bytes_ != nullptr) secure_wipe(bytes_, capacity_);
    delete[] bytes_;
    bytes_ = grown;
    capacity_ = capacity;
  }
  std::memcpy(bytes_ + size_, data, length);
  size_ += length;
  bytes_[size_] = 0;
}
