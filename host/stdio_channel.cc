#include "host/stdio_channel.h"

#include <QDebug>
#include <QString>

#include <iostream>
#include <new>

#include "platform/console.h"

namespace {

// Bodies can be 64 MiB: the log keeps the start of one and its length.
void log_body(const QByteArray& body) {
  if (body.size() <= StdioChannel::kLoggedBodyBytes) {
    qInfo() << QString::fromUtf8(body);
    return;
  }
  int cut = StdioChannel::kLoggedBodyBytes;
  // Never inside a UTF-8 sequence: back to the byte that starts it.
  while (cut > 0 && (static_cast<unsigned char>(body[cut]) & 0xC0) == 0x80) --cut;
  qInfo() << QString::fromUtf8(body.constData(), cut) << "... cut, the body has" << body.size() << "bytes";
}

}  // namespace

StdioChannel::StdioChannel() : StdioChannel(stdin, stdout, std::cin) {
  platform::os_set_stdio_binary();
}

StdioChannel::StdioChannel(FILE* in, FILE* out, const std::istream& guard)
    : in_(in), out_(out), guard_(guard) {}

uint32_t StdioChannel::readRequest() {
  const uint32_t length = readRequestQuietly();
  logRequest();
  return length;
}

void StdioChannel::logRequest() const {
  if (!lengthRead_) return;
  qInfo() << "Income size: " << announcedLength_;
  if (state_ == kOk) log_body(buffer_);
}

uint32_t StdioChannel::readRequestQuietly() {
  state_ = kOk;
  lengthRead_ = false;
  announcedLength_ = 0;
  buffer_.clear();
  if (!guard_.good()) {
    state_ = kInputFailed;
    return 0;
  }
  // Not checked: an input that ends early leaves what arrived in the low bytes
  // and zero in the rest, so an empty input reads as length 0.
  uint32_t length = 0;
  [[maybe_unused]] const size_t length_bytes = std::fread(&length, 1, sizeof length, in_);
  lengthRead_ = true;
  announcedLength_ = length;
  if (length == 0) {
    state_ = kEmptyRequest;
    return 0;
  }
  if (length > kMaxRequestLength) {
    state_ = kNoMemory;
    return 0;
  }
  try {
    buffer_.fill('\0', static_cast<int>(length));
  } catch (const std::bad_alloc&) {
    buffer_.clear();
    state_ = kNoMemory;
    return 0;
  }
  if (buffer_.size() != static_cast<int>(length)) {
    buffer_.clear();
    state_ = kNoMemory;
    return 0;
  }
  // One read for the whole body; bytes that never arrive stay zero.
  [[maybe_unused]] const size_t body_bytes = std::fread(buffer_.data(), 1, length, in_);
  return length;
}

void StdioChannel::setResponse(const QByteArray& response) {
  state_ = kOk;
  buffer_ = response;
}

uint32_t StdioChannel::writeResponse() {
  if (buffer_.isEmpty()) {
    state_ = kEmptyResponse;
    return 0;
  }
  const auto length = static_cast<uint32_t>(buffer_.size());
  qInfo() << "Outcome size: " << length;
  // A browser that has gone closes the pipe: the write fails (the broken-pipe
  // signal is ignored) and the log says so.
  const bool delivered = std::fwrite(&length, 1, sizeof length, out_) == sizeof length &&
                         std::fwrite(buffer_.constData(), 1, length, out_) == length && std::fflush(out_) == 0;
  log_body(buffer_);
  if (!delivered) {
    state_ = kWriteFailed;
    return 0;
  }
  return length;
}
