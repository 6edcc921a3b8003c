#include "host/stdio_channel.h"

#include <QDebug>
#include <QString>

#include <iostream>
#include <new>

#include "platform/console.h"

StdioChannel::StdioChannel() : StdioChannel(stdin, stdout, std::cin) {
  platform::os_set_stdio_binary();
}

StdioChannel::StdioChannel(FILE* in, FILE* out, const std::istream& guard)
    : in_(in), out_(out), guard_(guard) {}

uint32_t StdioChannel::readRequest() {
  state_ = kOk;
  buffer_.clear();
  if (!guard_.good()) {
    state_ = kInputFailed;
    return 0;
  }
  // Not checked: an input that ends early leaves what arrived in the low bytes
  // and zero in the rest, so an empty input reads as length 0.
  uint32_t length = 0;
  (void)std::fread(&length, 1, sizeof length, in_);
  qInfo() << "Income size: " << length;
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
  (void)std::fread(buffer_.data(), 1, length, in_);
  qInfo() << QString::fromUtf8(buffer_);
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
  (void)std::fwrite(&length, 1, sizeof length, out_);
  (void)std::fwrite(buffer_.constData(), 1, length, out_);
  std::fflush(out_);
  qInfo() << QString::fromUtf8(buffer_);
  return length;
}
