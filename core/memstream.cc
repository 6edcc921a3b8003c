#include "core/memstream.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

void codec_abort(int code) { throw CodecAbort{code}; }

MemStream MemStream::for_writing(void* buffer, size_t size) {
  return MemStream(static_cast<uint8_t*>(buffer), size, 0, kWrite);
}

MemStream MemStream::for_reading(const void* buffer, size_t size) {
  // Read mode never writes through the pointer.
  return MemStream(static_cast<uint8_t*>(const_cast<void*>(buffer)), size, size, kRead);
}

void MemStream::require(Mode mode) const {
  if (mode_ != mode) codec_abort(CORE_E_NODATA);
}

void MemStream::read(void* out, size_t n) {
  require(kRead);
  if (remaining() < n) codec_abort(CORE_E_NODATA);
  if (n > 0) std::memcpy(out, data_ + position_, n);
  position_ += n;
}

uint8_t MemStream::read_byte() {
  uint8_t value;
  read(&value, 1);
  return value;
}

uint32_t MemStream::read_be(int bytes) {
  uint8_t raw[4];
  read(raw, static_cast<size_t>(bytes));
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | raw[i];
  return value;
}

void MemStream::write(const void* data, size_t n) {
  require(kWrite);
  if (capacity_ - position_ < n) codec_abort(CORE_E_NOMEM);
  if (n > 0) std::memcpy(data_ + position_, data, n);
  position_ += n;
  if (position_ > end_) end_ = position_;
}

void MemStream::write_byte(uint8_t value) { write(&value, 1); }

void MemStream::write_be(uint32_t value, int bytes) {
  uint8_t raw[4];
  for (int i = bytes - 1; i >= 0; --i) {
    raw[i] = static_cast<uint8_t>(value);
    value >>= 8;
  }
  write(raw, static_cast<size_t>(bytes));
}

void MemStream::format(const char* fmt, ...) {
  require(kWrite);
  const size_t room = capacity_ - position_;
  va_list args;
  va_start(args, fmt);
  // With no room at all nothing may be written, not even the NUL.
  const int length = room > 0 ? std::vsnprintf(reinterpret_cast<char*>(data_ + position_), room, fmt, args)
                               : std::vsnprintf(nullptr, 0, fmt, args);
  va_end(args);
  if (length < 0 || static_cast<size_t>(length) >= room) codec_abort(CORE_E_NOMEM);
  position_ += static_cast<size_t>(length);
  if (position_ > end_) end_ = position_;
}

size_t MemStream::read_line(char* line, size_t size) {
  require(kRead);
  if (position_ >= end_ || data_[position_] == 0) codec_abort(CORE_E_NODATA);
  size_t stored = 0;
  while (position_ < end_) {
    const uint8_t byte = data_[position_++];
    if (byte == '\n' || byte == 0) break;
    if (byte == '\r') continue;
    if (stored + 1 < size) line[stored++] = static_cast<char>(byte);
  }
  if (size > 0) line[stored] = '\0';
  return stored;
}

void MemStream::seek(ptrdiff_t offset, int whence) {
  ptrdiff_t base;
  switch (whence) {
    case kFromStart: base = 0; break;
    case kFromPosition: base = static_cast<ptrdiff_t>(position_); break;
    case kFromEnd: base = static_cast<ptrdiff_t>(end_); break;
    default: codec_abort(CORE_E_NODATA);
  }
  // Compared before adding so that a huge offset cannot overflow.
  if (offset < -base || offset > static_cast<ptrdiff_t>(capacity_) - base) codec_abort(CORE_E_NODATA);
  position_ = static_cast<size_t>(base + offset);
  if (position_ > end_) end_ = position_;
}
