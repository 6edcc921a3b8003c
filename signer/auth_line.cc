#include "signer/auth_line.h"

#include "core/base64.h"
#include "core/crypto.h"
#include "signer/bin_buffer.h"

std::string AuthDigest(const uint8_t prefix[10], uint8_t key_type, std::string_view text, uint32_t serial) {
  BinBuffer input;
  input.Append(prefix, 10);
  input.Append(&key_type, 1);
  input.Append(text);
  // The serial is written as printf's "%ul" writes it: the number, then a letter l.
  input.Append(std::to_string(serial) + "l");
  uint8_t digest[kSha1Size];
  sha1(input.data(), input.size(), digest);
  return base64_encode(digest, sizeof digest);
}

std::string AuthLine(const uint8_t prefix[10], uint8_t key_type, std::string_view text, uint32_t serial) {
  const std::string line = "AUTH=" + AuthDigest(prefix, key_type, text, serial);
  if (!text.empty() && text.front() == '<') return "<!-- " + line + " -->\r\n";
  return line + "\r\n";
}
