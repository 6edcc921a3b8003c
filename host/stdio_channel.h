// The browser's native-messaging framing on standard input and output: a
// 4-byte length in the machine's byte order, then that many bytes of UTF-8 JSON.
#pragma once

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <istream>
#include <utility>

class StdioChannel {
 public:
  // State codes: why the last read or write failed.
  enum : int32_t {
    kOk = 0,
    kEmptyRequest = 1,     // the announced length is 0, or the input ended before it
    kNoMemory = 2,         // no buffer of the announced length (or it is over the limit)
    kInputFailed = 3,      // the standard input stream object is already failed
    kEmptyResponse = 4,    // nothing to write
    kWriteFailed = 5,      // the response did not reach the reader (it closed the pipe)
  };

  // Longest request accepted; a longer one is refused before anything of it is read.
  static constexpr uint32_t kMaxRequestLength = 64u * 1024 * 1024;

  // Logged bodies are cut to this many bytes, followed by their full length.
  static constexpr int kLoggedBodyBytes = 4096;

  // Binds to the process's standard input and output and switches both to binary mode.
  StdioChannel();
  // Binds to other streams (tests); `guard` stands in for the standard input object.
  StdioChannel(FILE* in, FILE* out, const std::istream& guard);

  // Reads one request and logs it; its length, or 0 with the state set.
  uint32_t readRequest();
  // The same read without the log lines, for a read before the log is open.
  uint32_t readRequestQuietly();
  // Logs what the last read received: its announced length and its body.
  void logRequest() const;
  // Replaces the buffer with the response and clears the state.
  void setResponse(const QByteArray& response);
  // Writes the framed response; its body length, or 0 with the state set.
  uint32_t writeResponse();

  int32_t state() const { return state_; }
  const QByteArray& buffer() const { return buffer_; }
  // Hands the request over and empties the buffer, so a big request is not
  // held twice while it is handled.
  QByteArray takeRequest() { return std::move(buffer_); }

 private:
  FILE* in_;
  FILE* out_;
  const std::istream& guard_;
  int32_t state_ = kOk;
  bool lengthRead_ = false;
  uint32_t announcedLength_ = 0;
  QByteArray buffer_;
};
