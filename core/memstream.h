// MemStream: the bounded memory stream of the document, packet and key
// certificate codecs, and the abort-with-code mechanism they share.
//
// A failing stream step throws CodecAbort, which ends the whole codec call at
// once. Every codec entry point runs its body through codec_call(), which turns
// the abort into the entry point's integer result; nothing is thrown past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "core/core.h"

// The abort of a codec call, carrying a CORE_E_* code.
struct CodecAbort {
  int code;
};

// Aborts the running codec call with a core error code.
[[noreturn]] void codec_abort(int code);

class MemStream {
 public:
  enum Mode : int { kWrite = 1, kRead = 2 };
  enum Whence : int { kFromStart = 0, kFromPosition = 1, kFromEnd = 2 };

  // Opening sets the position to 0; end is the buffer size for reading and 0
  // for writing.
  static MemStream for_writing(void* buffer, size_t size);
  static MemStream for_reading(const void* buffer, size_t size);

  // Copies n bytes out of the stream; aborts with CORE_E_NODATA when not
  // reading or fewer than n bytes remain.
  void read(void* out, size_t n);
  uint8_t read_byte();
  uint32_t read_be(int bytes);  // big-endian unsigned integer of 1 to 4 bytes

  // Copies n bytes into the stream; aborts with CORE_E_NODATA when not
  // writing, CORE_E_NOMEM when they do not fit.
  void write(const void* data, size_t n);
  void write_byte(uint8_t value);
  void write_be(uint32_t value, int bytes);

  // printf-style text followed by a NUL that is not counted; aborts with
  // CORE_E_NODATA when not writing, CORE_E_NOMEM when text and NUL do not fit.
  void format(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

  // Reads one line into line[0..size-1], NUL-terminated. The line ends at a
  // line feed, a NUL byte or the end of the stream; the terminator is consumed
  // but not stored, carriage returns are dropped, bytes beyond size - 1 are
  // consumed and dropped. Returns the number of characters stored. Aborts with
  // CORE_E_NODATA when not reading, at the end, or when the first byte is NUL.
  size_t read_line(char* line, size_t size);

  // Moves the position; raises end when the new position lies beyond it.
  // Aborts with CORE_E_NODATA for another whence, a negative position or one
  // beyond the capacity.
  void seek(ptrdiff_t offset, int whence);

  size_t remaining() const { return end_ > position_ ? end_ - position_ : 0; }
  const uint8_t* current() const { return data_ + position_; }
  size_t position() const { return position_; }
  size_t end() const { return end_; }
  size_t capacity() const { return capacity_; }

 private:
  MemStream(uint8_t* data, size_t capacity, size_t end, Mode mode)
      : data_(data), position_(0), end_(end), capacity_(capacity), mode_(mode) {}
  void require(Mode mode) const;

  uint8_t* data_;
  size_t position_;
  size_t end_;
  size_t capacity_;
  Mode mode_;
};

// Runs a codec body (returning int) and turns an abort into its code, and an
// allocation failure into CORE_E_NOMEM.
template <typename Body>
int codec_call(Body&& body) noexcept {
  try {
    return body();
  } catch (const CodecAbort& abort) {
    return abort.code;
  } catch (const std::bad_alloc&) {
    return CORE_E_NOMEM;
  }
}
