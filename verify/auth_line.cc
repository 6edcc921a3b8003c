// The AUTH line's digest: Base64 of SHA-1 over the digest prefix, the key type
// byte, the text before the line and the serial written as digits and "l".
#include <openssl/crypto.h>

#include <cstring>
#include <string>
#include <string_view>

#include "core/base64.h"
#include "core/crypto.h"
#include "verify/library_setup.h"
#include "verify/velixverify.h"

namespace {

constexpr size_t kDigestLength = 28;

void auth_digest(const uint8_t prefix[10], uint8_t key_type, const char* text, size_t length, uint32_t serial,
                 char out[kDigestLength + 1]) {
  Sha1 sha;
  sha.update(prefix, 10);
  sha.update(&key_type, 1);
  sha.update(text, length);
  const std::string serial_text = std::to_string(serial) + "l";
  sha.update(serial_text.data(), serial_text.size());
  uint8_t hash[kSha1Size];
  sha.final(hash);
  const std::string encoded = base64_encode(hash, sizeof hash);
  std::memcpy(out, encoded.c_str(), kDigestLength + 1);
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The digest written in the last line of the text, and where that line starts.
bool find_auth_line(std::string_view text, std::string_view* digest, size_t* line_start) {
  if (text.size() < 2 || text.substr(text.size() - 2) != "\r\n") return false;
  const std::string_view body = text.substr(0, text.size() - 2);
  const size_t previous_break = body.rfind('\n');
  if (previous_break == std::string_view::npos) return false;  // the line needs text before it
  *line_start = previous_break + 1;
  std::string_view line = body.substr(*line_start);
  // A text that starts with "<" carries the line as a markup comment.
  const bool markup = text.front() == '<';
  const std::string_view open = markup ? "<!-- AUTH=" : "AUTH=";
  const std::string_view close = markup ? " -->" : "";
  if (line.size() != open.size() + kDigestLength + close.size()) return false;
  if (line.substr(0, open.size()) != open || line.substr(line.size() - close.size()) != close) return false;
  *digest = line.substr(open.size(), kDigestLength);
  return true;
}

}  // namespace

extern "C" velix_status velix_parse_prefix(const char* hex, uint8_t prefix[10]) {
  if (hex == nullptr || prefix == nullptr) return VELIX_E_ARGS;
  if (std::strlen(hex) != 20) return VELIX_E_PREFIX;
  for (int i = 0; i < 10; ++i) {
    const int high = hex_value(hex[2 * i]);
    const int low = hex_value(hex[2 * i + 1]);
    if (high < 0 || low < 0) return VELIX_E_PREFIX;
    prefix[i] = static_cast<uint8_t>(high << 4 | low);
  }
  return VELIX_OK;
}

extern "C" velix_status velix_auth_digest(const uint8_t prefix[10], velix_key_type key_type, const char* text,
                                          size_t text_length, uint32_t serial, char digest[29]) {
  if (prefix == nullptr || digest == nullptr || (text == nullptr && text_length != 0)) return VELIX_E_ARGS;
  if (key_type != VELIX_KEY_FILE && key_type != VELIX_KEY_TOKEN) return VELIX_E_ARGS;
  prepare_library();
  auth_digest(prefix, static_cast<uint8_t>(key_type), text, text_length, serial, digest);
  return VELIX_OK;
}

extern "C" velix_status velix_check_auth_line(const uint8_t prefix[10], const char* text, size_t text_length,
                                              uint32_t serial, velix_key_type* key_type, size_t* line_start_out) {
  if (prefix == nullptr || text == nullptr) return VELIX_E_ARGS;
  prepare_library();
  std::string_view written;
  size_t line_start = 0;
  if (!find_auth_line(std::string_view(text, text_length), &written, &line_start)) return VELIX_E_NO_AUTH_LINE;
  if (line_start_out != nullptr) *line_start_out = line_start;
  for (const velix_key_type type : {VELIX_KEY_FILE, VELIX_KEY_TOKEN}) {
    char expected[kDigestLength + 1];
    auth_digest(prefix, static_cast<uint8_t>(type), text, line_start, serial, expected);
    if (CRYPTO_memcmp(expected, written.data(), kDigestLength) == 0) {
      if (key_type != nullptr) *key_type = type;
      return VELIX_OK;
    }
  }
  return VELIX_E_BAD_AUTH_LINE;
}
