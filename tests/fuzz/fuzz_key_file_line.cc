// The line reader under the key file user ID: arbitrary bytes, delivered in
// chunks of varying size, read into destinations of varying capacity.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "ui/input_stream.h"

namespace {

class ChunkStream : public ui::CInputStream {
 public:
  ChunkStream(const uint8_t* data, size_t size, int chunk) : data_(data), size_(size), chunk_(chunk) {}
  int Read(char* destination, int count) override {
    const size_t n = std::min({static_cast<size_t>(count), static_cast<size_t>(chunk_), size_ - at_});
    std::memcpy(destination, data_ + at_, n);
    at_ += n;
    return static_cast<int>(n);
  }

 private:
  const uint8_t* data_;
  size_t size_;
  int chunk_;
  size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int chunk = data[0] % 64 + 1;
  const int capacity = data[1] % 300;
  ChunkStream stream(data + 2, size - 2, chunk);
  std::string line(static_cast<size_t>(capacity) + 1, '\x55');
  for (;;) {
    const int length = stream.ReadLine(capacity > 0 ? line.data() : nullptr, capacity);
    if (length < 0) break;
    if (length >= capacity || line[length] != '\0') __builtin_trap();
    if (std::memchr(line.data(), '\n', length) || std::memchr(line.data(), '\r', length)) __builtin_trap();
  }
  return 0;
}
