#include "core/document.h"

#include <cstdio>
#include <cstring>

#include "core/core.h"
#include "core/memstream.h"

namespace {

constexpr int kHeaderLength = 36;
constexpr int kNameWidth = 20;
constexpr int kNameLineLength = 28;
constexpr int kTotalWidth = 8;
constexpr uint32_t kMaxField = kDocumentFieldMax;
constexpr size_t kLineBufferSize = 512;

bool fits_field(int value) { return value >= 0 && static_cast<uint32_t>(value) <= kMaxField; }

bool block_ok(const char* block, int length) { return fits_field(length) && (length == 0 || block != nullptr); }

// A name line break inside a name would make the document unreadable.
bool name_ok(const char* name) { return std::strpbrk(name, "\r\n") == nullptr; }

bool record_fits_format(const DocumentRecord& doc) {
  return doc.version >= 0 && doc.version <= 99 && doc.type[0] != '\0' && doc.type[1] != '\0' &&
         block_ok(doc.data, doc.data_length) && block_ok(doc.signature, doc.signature_length) &&
         fits_field(doc.plain_length) && doc.serial1 <= kMaxField && doc.serial2 <= kMaxField &&
         std::memchr(doc.name1, '\0', sizeof doc.name1) != nullptr &&
         std::memchr(doc.name2, '\0', sizeof doc.name2) != nullptr && name_ok(doc.name1) && name_ok(doc.name2);
}

void write_name_line(MemStream& out, const char* name, uint32_t serial) {
  out.format("%-20.20s%08u\r\n", name, serial);
}

// Digits only gives the number; anything else counts as 0.
uint32_t parse_number(const char* field, int width) {
  uint32_t value = 0;
  for (int i = 0; i < width; ++i) {
    if (field[i] < '0' || field[i] > '9') return 0;
    value = value * 10 + static_cast<uint32_t>(field[i] - '0');
  }
  return value;
}

// Reads the next line and aborts unless it has exactly the given length.
void expect_length(MemStream& in, char* line, size_t length) {
  if (in.read_line(line, kLineBufferSize) != length) codec_abort(CORE_E_FORMAT);
}

void expect_line(MemStream& in, char* line, const char* text) {
  in.read_line(line, kLineBufferSize);
  if (std::strcmp(line, text) != 0) codec_abort(CORE_E_FORMAT);
}

void read_name_line(MemStream& in, char* line, char (&name)[24], uint32_t* serial) {
  expect_length(in, line, kNameLineLength);
  int length = kNameWidth;
  while (length > 0 && line[length - 1] == ' ') --length;
  std::memset(name, 0, sizeof name);
  std::memcpy(name, line, static_cast<size_t>(length));
  *serial = parse_number(line + kNameWidth, 8);
}

bool is_leading_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

int write_document(char* out, int capacity, const DocumentRecord* doc) {
  if (out == nullptr || doc == nullptr || capacity < 0) return CORE_E_ARGS;
  if (!record_fits_format(*doc)) return CORE_E_ARGS;
  const int result = codec_call([&] {
    auto stream = MemStream::for_writing(out, static_cast<size_t>(capacity));
    stream.format("%08d%02d%.2s%08d%08d%08d\r\n", 0, doc->version, doc->type, doc->data_length,
                  doc->plain_length, doc->signature_length);
    write_name_line(stream, doc->name1, doc->serial1);
    write_name_line(stream, doc->name2, doc->serial2);
    stream.format("BEGIN\r\n");
    stream.write(doc->data, static_cast<size_t>(doc->data_length));
    stream.format("\r\nEND\r\nBEGIN SIGNATURE\r\n");
    if (doc->signature_length > 0) stream.write(doc->signature, static_cast<size_t>(doc->signature_length));
    stream.format("\r\nEND SIGNATURE");  // also leaves the terminating NUL
    const size_t length = stream.position();
    const size_t total = length - kTotalWidth;
    if (total > kMaxField) codec_abort(CORE_E_ARGS);
    // The total field is overwritten in place, without a NUL after it.
    char digits[kTotalWidth + 1];
    std::snprintf(digits, sizeof digits, "%08u", static_cast<unsigned>(total));
    stream.seek(0, MemStream::kFromStart);
    stream.write(digits, kTotalWidth);
    stream.seek(0, MemStream::kFromEnd);
    return static_cast<int>(length);
  });
  if (result == CORE_E_ARGS) return result;
  return result < 0 ? CORE_E_NOMEM : result;
}

int read_document(const char* text, int length, DocumentRecord* doc) {
  if (length == 0) return 0;
  if (text == nullptr || doc == nullptr) return CORE_E_ARGS;
  const size_t size = length < 0 ? std::strlen(text) : static_cast<size_t>(length);
  size_t skipped = 0;
  while (skipped < size && is_leading_blank(text[skipped])) ++skipped;

  DocumentRecord found{};
  const int result = codec_call([&] {
    auto in = MemStream::for_reading(text + skipped, size - skipped);
    char line[kLineBufferSize];

    expect_length(in, line, kHeaderLength);
    const uint32_t total = parse_number(line, 8);
    found.version = static_cast<int>(parse_number(line + 8, 2));
    std::memcpy(found.type, line + 10, 2);
    found.data_length = static_cast<int>(parse_number(line + 12, 8));
    found.plain_length = static_cast<int>(parse_number(line + 20, 8));
    found.signature_length = static_cast<int>(parse_number(line + 28, 8));
    if (total < 1 || found.data_length < 1) codec_abort(CORE_E_FORMAT);

    read_name_line(in, line, found.name1, &found.serial1);
    read_name_line(in, line, found.name2, &found.serial2);

    expect_line(in, line, "BEGIN");
    found.data = reinterpret_cast<const char*>(in.current());
    in.seek(found.data_length, MemStream::kFromPosition);
    expect_line(in, line, "");
    expect_line(in, line, "END");
    expect_line(in, line, "BEGIN SIGNATURE");
    found.signature = reinterpret_cast<const char*>(in.current());
    in.seek(found.signature_length, MemStream::kFromPosition);
    expect_line(in, line, "");
    in.read_line(line, kLineBufferSize);
    if (std::strncmp(line, "END SIGNATURE", 13) != 0) codec_abort(CORE_E_FORMAT);
    return static_cast<int>(skipped + in.position());
  });
  if (result < 0) return CORE_E_FORMAT;
  *doc = found;
  return result;
}
