#include "ui/input_stream.h"

#include <cstring>

namespace ui {

CInputStream::CInputStream() : buffer_(new char[kCapacity]) {}

CInputStream::~CInputStream() { delete[] buffer_; }

int CInputStream::Read(char*, int) { return 0; }

int CInputStream::ReadLine(char* destination, int capacity) {
  if (destination == nullptr || capacity <= 0) return -1;
  for (;;) {
    const char* lf = static_cast<const char*>(std::memchr(buffer_, '\n', held_));
    if (lf != nullptr) {
      const int line_end = static_cast<int>(lf - buffer_);
      int length = 0;
      for (int i = 0; i < line_end; ++i) {
        if (buffer_[i] == '\r') continue;
        if (length < capacity - 1) destination[length++] = buffer_[i];
      }
      destination[length] = '\0';
      held_ -= line_end + 1;
      std::memmove(buffer_, buffer_ + line_end + 1, held_);
      return length;
    }
    const int got = held_ < capacity_ ? Read(buffer_ + held_, capacity_ - held_) : 0;
    if (got <= 0) return -1;
    held_ += got;
  }
}

CInputFileStream::~CInputFileStream() {
  if (file_ != nullptr) std::fclose(file_);
}

bool CInputFileStream::Open(const std::string& path) {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  file_ = std::fopen(path.c_str(), "rb");
  return file_ != nullptr;
}

int CInputFileStream::Read(char* destination, int count) {
  if (file_ == nullptr || count <= 0) return 0;
  return static_cast<int>(std::fread(destination, 1, static_cast<size_t>(count), file_));
}

}  // namespace ui
