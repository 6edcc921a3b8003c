#include "signer/auth_line.h"

#include "core/base64.h"
#include "core/crypto.h"

std::string AuthDigest(const uint8_t prefix[10], uint8_t key_type, std::string_view text, uint32_t serial) {
  // The digest input is hashed piece by piece, so a long text is never copied;
  // the hash state, which has seen the prefix, is wiped when it goes.
  Sha1 input;
  input.update(prefix, 10);
  input.update(&key_type, 1);
  input.update(text.data(), text.size());
  // The serial is written as printf's "%ul" writes it: the number, then a letter l.
  const std::string serial_text = std::to_string(serial) + "l";
  input.update(serial_text.data(), serial_text.size());
  uint8_t digest[kSha1Size];
  input.final(digest);
  return base64_encode(digest, sizeof digest);
}

std::string AuthLine(const uint8_t prefix[10], uint8_t key_type, std::string_view text, uint32_t serial) {
  const std::string line = "AUTH=" + AuthDigest(prefix, key_type, text, serial);
  if (!text.empty() && text.front() == '<') return "<!-- " + line + " -->\r\n";
  return line + "\r\n";
}
