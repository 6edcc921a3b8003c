// Independent check of a detached signature: the signature packet is taken
// apart by hand, MD5 over the data and the packet's extras recomputed with
// OpenSSL, and the RSA value opened with OpenSSL's own public-key operation.
#pragma once

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/md5.h>
#include <openssl/rsa.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/armor.h"
#include "core/keycert.h"

namespace signer_checks {

inline ::testing::AssertionResult DetachedSignatureVerifies(const std::string& armored, const std::string& data,
                                                            const KeyCertRecord& public_key) {
  std::vector<uint8_t> p(armored.size() + 16);
  const int n = armor_decode(armored.data(), static_cast<int>(armored.size()), p.data(), static_cast<int>(p.size()));
  if (n < 3 || p[0] != 0x89) return ::testing::AssertionFailure() << "no signature packet";
  const size_t body = static_cast<size_t>(p[1] << 8 | p[2]);
  if (3 + body > static_cast<size_t>(n) || body < 18) return ::testing::AssertionFailure() << "short packet";
  const uint8_t* b = p.data() + 3;
  if (b[0] != 3 || b[1] != 9 || b[11] != 1 || b[12] != 1) return ::testing::AssertionFailure() << "odd fields";

  std::vector<uint8_t> expected = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                   0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
  expected.resize(expected.size() + MD5_DIGEST_LENGTH);
  const std::string hashed = data + std::string(reinterpret_cast<const char*>(b + 2), 9);
  MD5(reinterpret_cast<const uint8_t*>(hashed.data()), hashed.size(), expected.data() + 18);

  RSA* rsa = RSA_new();
  RSA_set0_key(rsa, BN_bin2bn(public_key.n, sizeof public_key.n, nullptr),
               BN_bin2bn(public_key.e, sizeof public_key.e, nullptr), nullptr);
  std::vector<uint8_t> opened(static_cast<size_t>(RSA_size(rsa)));
  const int m = RSA_public_decrypt(static_cast<int>(body - 17), b + 17, opened.data(), rsa, RSA_PKCS1_PADDING);
  RSA_free(rsa);
  if (m < 0) return ::testing::AssertionFailure() << "the signature does not open";
  opened.resize(static_cast<size_t>(m));
  if (opened != expected) return ::testing::AssertionFailure() << "the signature opens to another digest";
  return ::testing::AssertionSuccess();
}

}  // namespace signer_checks
