#include "comserver/com/bstr.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

using Prefix = uint32_t;
// The largest text whose byte length, prefix and NUL still fit the 32-bit count.
constexpr uint64_t kMaxBytes = 0x7FFFFFFFu - sizeof(Prefix) - sizeof(OLECHAR);

char* block_of(BSTR b) { return reinterpret_cast<char*>(b) - sizeof(Prefix); }

// A block for byte_length bytes of text; the text and its NUL are zero.
BSTR allocate(uint64_t byte_length) {
  if (byte_length > kMaxBytes) return nullptr;
  const size_t size = sizeof(Prefix) + byte_length + sizeof(OLECHAR);
  char* block = static_cast<char*>(std::calloc(1, size));
  if (block == nullptr) return nullptr;
  const Prefix prefix = static_cast<Prefix>(byte_length);
  std::memcpy(block, &prefix, sizeof prefix);
  return reinterpret_cast<BSTR>(block + sizeof(Prefix));
}

size_t text_length(LPCOLESTR psz) {
  size_t n = 0;
  while (psz[n] != 0) ++n;
  return n;
}

}  // namespace

BSTR SysAllocStringByteLen(const char* psz, UINT len) {
  BSTR b = allocate(len);
  if (b != nullptr && psz != nullptr) std::memcpy(b, psz, len);
  return b;
}

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT len) {
  BSTR b = allocate(static_cast<uint64_t>(len) * sizeof(OLECHAR));
  if (b != nullptr && strIn != nullptr) std::memcpy(b, strIn, static_cast<size_t>(len) * sizeof(OLECHAR));
  return b;
}

BSTR SysAllocString(LPCOLESTR psz) {
  if (psz == nullptr) return nullptr;
  const size_t n = text_length(psz);
  if (n > kMaxBytes / sizeof(OLECHAR)) return nullptr;
  return SysAllocStringLen(psz, static_cast<UINT>(n));
}

INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
  if (pbstr == nullptr) return FALSE;
  // Copy first: psz may point into the old text.
  BSTR fresh = SysAllocStringLen(psz, len);
  if (fresh == nullptr) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

INT SysReAllocString(BSTR* pbstr, LPCOLESTR psz) {
  if (pbstr == nullptr) return FALSE;
  if (psz == nullptr) return SysReAllocStringLen(pbstr, nullptr, 0);  // an empty text
  return SysReAllocStringLen(pbstr, psz, static_cast<UINT>(text_length(psz)));
}

void SysFreeString(BSTR bstrString) {
  if (bstrString != nullptr) std::free(block_of(bstrString));
}

UINT SysStringByteLen(BSTR bstr) {
  if (bstr == nullptr) return 0;
  Prefix prefix;
  std::memcpy(&prefix, block_of(bstr), sizeof prefix);
  return prefix;
}

UINT SysStringLen(BSTR pbstr) { return SysStringByteLen(pbstr) / sizeof(OLECHAR); }
