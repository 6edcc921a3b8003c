// A buffered line reader over a byte source, and its file flavour.
#pragma once

#include <cstdio>
#include <string>

namespace ui {

class CInputStream {
 public:
  static constexpr int kCapacity = 1024;

  CInputStream();
  CInputStream(const CInputStream&) = delete;
  CInputStream& operator=(const CInputStream&) = delete;
  virtual ~CInputStream();

  // Delivers up to `count` bytes of the source; 0 at its end. The base class
  // has no source.
  virtual int Read(char* destination, int count);

  // Reads the next LF-terminated line without its LF and without any CR,
  // keeping at most capacity - 1 characters and a NUL. Returns the length
  // stored, or -1 when no complete line is left or the arguments are unusable.
  int ReadLine(char* destination, int capacity);

 private:
  char* buffer_;
  int held_ = 0;
  int capacity_ = kCapacity;
};

class CInputFileStream : public CInputStream {
 public:
  ~CInputFileStream() override;

  // Opens an existing file for reading, closing any file opened before.
  bool Open(const std::string& path);
  int Read(char* destination, int count) override;

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace ui
