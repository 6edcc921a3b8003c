// The AUTH line that ends every signed message: a SHA-1 digest, in Base64,
// over the deployment's digest prefix, the key type, the text and the key
// serial. Only a service holding the same prefix can check it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr size_t kAuthDigestLength = 28;  // Base64 of the 20-byte SHA-1

// The 28-character digest. The text is the signed text so far (it already
// ends with a line break), in the bytes that are signed.
std::string AuthDigest(const uint8_t prefix[10], uint8_t key_type, std::string_view text, uint32_t serial);

// The whole line with its CR LF: "AUTH=<digest>", wrapped in "<!-- ... -->"
// when the text starts with "<" so that markup keeps it as a comment.
std::string AuthLine(const uint8_t prefix[10], uint8_t key_type, std::string_view text, uint32_t serial);
