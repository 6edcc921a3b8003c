// Independent check of a detached signature: the signature packet is taken
// apart by hand, and its RSA value must open with OpenSSL to the MD5
// DigestInfo of the data and the packet's extras.
#pragma once

#include <gtest/gtest.h>
#include <openssl/md5.h>

#include <functional>
#include <string>
#include <vector>

#include "core/armor.h"
#include "core/keycert.h"
#include "tests/support/signed_document_check.h"

namespace signer_checks {

// hash_data feeds the signed data into the MD5 context, so data of any size
// can be checked without holding it whole.
inline ::testing::AssertionResult DetachedSignatureVerifiesHashed(const std::string& armored,
                                                                  const std::function<void(MD5_CTX&)>& hash_data,
                                                                  const KeyCertRecord& public_key) {
  std::vector<uint8_t> p(armored.size() + 16);
  const int n = armor_decode(armored.data(), static_cast<int>(armored.size()), p.data(), static_cast<int>(p.size()));
  if (n < 3 || p[0] != 0x89) return ::testing::AssertionFailure() << "no signature packet";
  const size_t body = static_cast<size_t>(p[1] << 8 | p[2]);
  if (3 + body > static_cast<size_t>(n) || body < 18) return ::testing::AssertionFailure() << "short packet";
  const uint8_t* b = p.data() + 3;
  if (b[0] != 3 || b[1] != 9 || b[11] != 1 || b[12] != 1) return ::testing::AssertionFailure() << "odd fields";

  MD5_CTX md5;
  MD5_Init(&md5);
  hash_data(md5);
  MD5_Update(&md5, b + 2, 9);  // the extras
  std::vector<uint8_t> expected = test_support::md5_digest_info("");
  MD5_Final(expected.data() + expected.size() - MD5_DIGEST_LENGTH, &md5);
  return test_support::SignatureOpensTo(b + 17, body - 17, expected, public_key);
}

inline ::testing::AssertionResult DetachedSignatureVerifies(const std::string& armored, const std::string& data,
                                                            const KeyCertRecord& public_key) {
  return DetachedSignatureVerifiesHashed(
      armored, [&](MD5_CTX& md5) { MD5_Update(&md5, data.data(), data.size()); }, public_key);
}

}  // namespace signer_checks
