#include "settings/digest_prefix.h"

#include <array>
#include <cstring>
#include <string_view>

// The default is published (the README prints it): a deployment builds with
// a prefix of its own, and velix diagnose warns while this one is in use.
#define VELIX_PUBLISHED_DIGEST_PREFIX "5f3a9c0e71d24b86e2a7"
#ifndef VELIX_DIGEST_PREFIX
#define VELIX_DIGEST_PREFIX VELIX_PUBLISHED_DIGEST_PREFIX
#endif

namespace {

constexpr int hex_value(char c) {
  return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c - 'A' + 10;
}

constexpr bool all_hex(std::string_view s) {
  for (const char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
  return true;
}

constexpr std::string_view kPrefixHex = VELIX_DIGEST_PREFIX;
static_assert(kPrefixHex.size() == 20 && all_hex(kPrefixHex),
              "VELIX_DIGEST_PREFIX must be 20 hex digits");

template <size_t N>
constexpr std::array<uint8_t, N> bytes_at(size_t first_byte) {
  std::array<uint8_t, N> out{};
  for (size_t i = 0; i < N; ++i)
    out[i] = static_cast<uint8_t>(hex_value(kPrefixHex[2 * (first_byte + i)]) * 16 +
                                  hex_value(kPrefixHex[2 * (first_byte + i) + 1]));
  return out;
}

constexpr bool same_hex(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (hex_value(a[i]) != hex_value(b[i])) return false;
  return true;
}

constexpr auto kPart8 = bytes_at<8>(0);
constexpr auto kPart2 = bytes_at<2>(8);

}  // namespace

void assemble_digest_prefix(uint8_t out[10]) {
  std::memcpy(out, kPart8.data(), kPart8.size());
  std::memcpy(out + kPart8.size(), kPart2.data(), kPart2.size());
}

bool digest_prefix_is_published_default() { return same_hex(kPrefixHex, VELIX_PUBLISHED_DIGEST_PREFIX); }
