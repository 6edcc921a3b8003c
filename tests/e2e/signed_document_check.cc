#include "signed_document_check.h"
#include "strict_verifier_check.h"

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/md5.h>
#include <openssl/sha.h>

#include <cstring>
#include <vector>

namespace {

bool fail(std::string* problem, const std::string& what) {
  if (problem != nullptr) *problem = what;
  return false;
}

bool all_digits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Reads `expected` at pos and moves past it.
bool expect(const std::string& doc, size_t* pos, const std::string& expected) {
  if (doc.compare(*pos, expected.size(), expected) != 0) return false;
  *pos += expected.size();
  return true;
}

uint32_t crc24(const std::vector<uint8_t>& data) {
  uint32_t crc = 0xB704CE;
  for (uint8_t byte : data) {
    crc ^= static_cast<uint32_t>(byte) << 16;
    for (int i = 0; i < 8; ++i) {
      crc <<= 1;
      if (crc & 0x1000000) crc ^= 0x1864CFB;
    }
  }
  return crc & 0xFFFFFF;
}

std::vector<uint8_t> base64_decode(const std::string& text) {
  std::vector<uint8_t> out(text.size() / 4 * 3 + 3);
  const int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()));
  if (n < 0 || text.size() % 4 != 0) return {};
  size_t length = static_cast<size_t>(n);
  for (size_t i = text.size(); i > 0 && text[i - 1] == '='; --i) --length;
  out.resize(length);
  return out;
}

std::string base64_encode(const uint8_t* data, size_t length) {
  std::string out((length + 2) / 3 * 4 + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data, static_cast<int>(length));
  out.resize(static_cast<size_t>(n));
  return out;
}

// Armor: base64 lines of at most 64 characters, then "=" and the CRC-24.
bool dearmor(const std::string& block, std::vector<uint8_t>* out, std::string* problem) {
  std::string data, checksum;
  size_t pos = 0;
  while (pos < block.size()) {
    size_t end = block.find("\r\n", pos);
    if (end == std::string::npos) end = block.size();
    const std::string line = block.substr(pos, end - pos);
    pos = end == block.size() ? end : end + 2;
    if (line.empty()) continue;
    if (line[0] == '=') {
      checksum = line.substr(1);
      if (pos != block.size()) return fail(problem, "text after the armor checksum");
      break;
    }
    if (line.size() > 64) return fail(problem, "armor line longer than 64 characters");
    data += line;
  }
  if (checksum.size() != 4) return fail(problem, "armor without a checksum line");
  *out = base64_decode(data);
  if (out->empty()) return fail(problem, "armor is not base64");
  const std::vector<uint8_t> crc = base64_decode(checksum);
  if (crc.size() != 3 || (static_cast<uint32_t>(crc[0]) << 16 | crc[1] << 8 | crc[2]) != crc24(*out))
    return fail(problem, "armor checksum does not match");
  return true;
}

}  // namespace

bool parse_signed_document(const std::string& doc, SignedDocument* out, std::string* problem) {
  if (doc.size() < 38 || doc.compare(36, 2, "\r\n") != 0) return fail(problem, "no 36-character header");
  const std::string total = doc.substr(0, 8), version = doc.substr(8, 2), type = doc.substr(10, 2);
  const std::string data_length = doc.substr(12, 8), plain_length = doc.substr(20, 8);
  const std::string signature_length = doc.substr(28, 8);
  for (const std::string* field : {&total, &version, &data_length, &plain_length, &signature_length})
    if (!all_digits(*field)) return fail(problem, "header field is not a number: " + doc.substr(0, 36));
  if (type != "SM" || version != "01") return fail(problem, "not a version 01 SM document");
  if (std::stoul(total) != doc.size() - 8) return fail(problem, "total field is not the length minus 8");
  if (data_length != plain_length) return fail(problem, "plain length differs from data length");

  size_t pos = 38;
  const std::string name1 = doc.substr(pos, 28);
  pos += 28;
  if (name1.size() != 28 || !all_digits(name1.substr(20)) || !expect(doc, &pos, "\r\n"))
    return fail(problem, "bad name line 1");
  if (!expect(doc, &pos, std::string(20, ' ') + "00000000\r\n")) return fail(problem, "name line 2 not empty");
  if (!expect(doc, &pos, "BEGIN\r\n")) return fail(problem, "no BEGIN");
  const size_t n = std::stoul(data_length);
  if (pos + n > doc.size()) return fail(problem, "data block runs past the end");
  out->text = doc.substr(pos, n);
  pos += n;
  if (!expect(doc, &pos, "\r\nEND\r\nBEGIN SIGNATURE\r\n")) return fail(problem, "no END / BEGIN SIGNATURE");
  const size_t s = std::stoul(signature_length);
  if (pos + s > doc.size()) return fail(problem, "signature block runs past the end");
  out->signature_block = doc.substr(pos, s);
  pos += s;
  if (!expect(doc, &pos, "\r\nEND SIGNATURE") || pos != doc.size())
    return fail(problem, "document does not end with END SIGNATURE");

  out->user_id = name1.substr(0, 20);
  out->user_id.erase(out->user_id.find_last_not_of(' ') + 1);
  out->serial = static_cast<uint32_t>(std::stoul(name1.substr(20)));
  out->document = doc;
  return true;
}

bool signature_verifies(const SignedDocument& document, const RSA* key, std::string* problem) {
  std::vector<uint8_t> packets;
  if (!dearmor(document.signature_block, &packets, problem)) return false;
  // Signature packet: 0x89, 2 length bytes, body; then the trust packet B0 01 C7.
  if (packets.size() < 3 || packets[0] != 0x89) return fail(problem, "no signature packet");
  const size_t body_length = static_cast<size_t>(packets[1] << 8 | packets[2]);
  if (packets.size() != 3 + body_length + 3) return fail(problem, "packet lengths do not add up");
  const uint8_t* trust = packets.data() + 3 + body_length;
  if (trust[0] != 0xB0 || trust[1] != 1 || trust[2] != 0xC7) return fail(problem, "no trust packet");
  const uint8_t* body = packets.data() + 3;
  if (body_length < 19 || body[0] != 3 || body[1] != 9 || body[2] != 0x01 || body[11] != 1 || body[12] != 1)
    return fail(problem, "signature packet header is not v3 RSA/MD5 class 1");
  const uint8_t* extras = body + 2;
  const uint32_t serial = static_cast<uint32_t>(extras[1]) << 24 | extras[2] << 16 | extras[3] << 8 | extras[4];
  if (serial != document.serial) return fail(problem, "signature serial differs from the name line");
  const size_t value_bits = static_cast<size_t>(body[15] << 8 | body[16]);
  const size_t value_length = (value_bits + 7) / 8;
  if (17 + value_length != body_length) return fail(problem, "signature value length is wrong");

  uint8_t digest[MD5_DIGEST_LENGTH];
  EVP_MD_CTX* md = EVP_MD_CTX_new();
  EVP_DigestInit_ex(md, EVP_md5(), nullptr);
  EVP_DigestUpdate(md, document.text.data(), document.text.size());
  EVP_DigestUpdate(md, extras, 9);
  EVP_DigestFinal_ex(md, digest, nullptr);
  EVP_MD_CTX_free(md);
  if (body[13] != digest[0] || body[14] != digest[1]) return fail(problem, "check bytes differ from the digest");

  const size_t modulus = static_cast<size_t>(RSA_size(key));
  if (value_length > modulus) return fail(problem, "signature value longer than the modulus");
  std::vector<uint8_t> input(modulus - value_length, 0);
  input.insert(input.end(), body + 17, body + 17 + value_length);
  std::vector<uint8_t> recovered(modulus);
  const int n = RSA_public_decrypt(static_cast<int>(input.size()), input.data(), recovered.data(),
                                   const_cast<RSA*>(key), RSA_PKCS1_PADDING);
  static const uint8_t kMd5DigestInfo[18] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                             0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
  if (n != 34 || std::memcmp(recovered.data(), kMd5DigestInfo, 18) != 0 ||
      std::memcmp(recovered.data() + 18, digest, 16) != 0)
    return fail(problem, "RSA signature does not verify over the text");
  return strict_verifier_accepts(document.document, problem);
}

std::string expected_auth_line(const std::string& text, const uint8_t prefix[10], uint8_t key_type,
                               uint32_t serial) {
  std::string input(reinterpret_cast<const char*>(prefix), 10);
  input += static_cast<char>(key_type);
  input += text;
  input += std::to_string(serial) + "l";
  uint8_t digest[SHA_DIGEST_LENGTH];
  SHA1(reinterpret_cast<const uint8_t*>(input.data()), input.size(), digest);
  const std::string auth = "AUTH=" + base64_encode(digest, sizeof digest);
  return (!text.empty() && text[0] == '<' ? "<!-- " + auth + " -->" : auth) + "\r\n";
}

std::string text_without_auth_line(const SignedDocument& document) {
  const std::string& text = document.text;
  if (text.size() < 2) return {};
  const size_t last_break = text.rfind('\n', text.size() - 2);
  return last_break == std::string::npos ? std::string() : text.substr(0, last_break + 1);
}

bool auth_line_matches(const SignedDocument& document, const uint8_t prefix[10], uint8_t key_type,
                       std::string* problem) {
  const std::string before = text_without_auth_line(document);
  const std::string line = document.text.substr(before.size());
  const std::string expected = expected_auth_line(before, prefix, key_type, document.serial);
  if (line != expected) return fail(problem, "AUTH line is \"" + line + "\", expected \"" + expected + "\"");
  return true;
}

RSA* rsa_public_key(const uint8_t* n, size_t n_size, const uint8_t* e, size_t e_size) {
  RSA* rsa = RSA_new();
  RSA_set0_key(rsa, BN_bin2bn(n, static_cast<int>(n_size), nullptr), BN_bin2bn(e, static_cast<int>(e_size), nullptr),
               nullptr);
  return rsa;
}
