// Checks a signed text document without the project's own readers: the
// document envelope, armor and signature packet are parsed here, the
// signature is checked with OpenSSL's RSA public operation over MD5, and the
// AUTH line is recomputed with OpenSSL's SHA-1.
#pragma once

#include <openssl/rsa.h>

#include <cstdint>
#include <string>

struct SignedDocument {
  std::string text;     // the data block: the signed text, AUTH line included
  std::string user_id;  // name line 1, trailing spaces removed
  uint32_t serial = 0;  // name line 1
  std::string signature_block;
  std::string document;  // the whole document as parsed
};

// Parses an "SM" document. False with *problem set when it is malformed.
bool parse_signed_document(const std::string& document, SignedDocument* out, std::string* problem);

// True when the armored signature verifies over the text with the key, was
// made by the key with the document's serial, and is well formed; and when
// the project's own verifier takes the document in its strict form (see
// strict_verifier_check.h), so every document the tests check passes both.
bool signature_verifies(const SignedDocument& document, const RSA* key, std::string* problem);

// The AUTH line for a text (everything the line follows) and key serial:
// Base64 of SHA-1 over prefix, key type, text and the serial written "%ul".
std::string expected_auth_line(const std::string& text, const uint8_t prefix[10], uint8_t key_type,
                               uint32_t serial);

// True when the document's last line is the AUTH line of the rest.
bool auth_line_matches(const SignedDocument& document, const uint8_t prefix[10], uint8_t key_type,
                       std::string* problem);

// The text that was signed before the AUTH line was appended.
std::string text_without_auth_line(const SignedDocument& document);

// An OpenSSL public key from big-endian modulus and exponent fields.
RSA* rsa_public_key(const uint8_t* n, size_t n_size, const uint8_t* e, size_t e_size);
