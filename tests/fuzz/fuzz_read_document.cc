// Documents from outside: the reader must stay inside its input, the blocks it
// reports must lie inside the bytes it says it consumed, and what it accepts
// must be written back into a document that reads the same.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/document.h"

namespace {

bool same_fields(const DocumentRecord& a, const DocumentRecord& b) {
  return a.version == b.version && std::memcmp(a.type, b.type, sizeof a.type) == 0 &&
         std::strcmp(a.name1, b.name1) == 0 && a.serial1 == b.serial1 && std::strcmp(a.name2, b.name2) == 0 &&
         a.serial2 == b.serial2 && a.plain_length == b.plain_length && a.data_length == b.data_length &&
         a.signature_length == b.signature_length &&
         std::memcmp(a.data, b.data, static_cast<size_t>(a.data_length)) == 0 &&
         (a.signature_length == 0 || std::memcmp(a.signature, b.signature, static_cast<size_t>(a.signature_length)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  // An exact-size copy so that any read past the input is caught.
  std::vector<char> text(data, data + size);
  DocumentRecord doc{};
  const int n = read_document(text.data(), static_cast<int>(size), &doc);
  if (n <= 0) return 0;
  if (static_cast<size_t>(n) > size) std::abort();
  const char* begin = text.data();
  const char* end = begin + n;
  if (doc.data < begin || doc.data + doc.data_length > end) std::abort();
  if (doc.signature < begin || doc.signature + doc.signature_length > end) std::abort();
  if (doc.data_length < 1 || doc.signature_length < 0) std::abort();

  std::vector<char> written(static_cast<size_t>(doc.data_length) + static_cast<size_t>(doc.signature_length) + 256);
  const int length = write_document(written.data(), static_cast<int>(written.size()), &doc);
  if (length <= 0) std::abort();
  DocumentRecord again{};
  if (read_document(written.data(), length, &again) != length || !same_fields(doc, again)) std::abort();
  return 0;
}
