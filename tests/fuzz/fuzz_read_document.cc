// Documents from outside: the reader must stay inside its input, and the
// blocks it reports must lie inside the bytes it says it consumed.
#include <cstdlib>
#include <vector>

#include "core/document.h"

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
  return 0;
}
