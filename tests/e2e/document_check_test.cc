// The independent document check of the end-to-end tests must catch what it
// is there to catch: a changed text, another key, a wrong AUTH line.
#include <gtest/gtest.h>

#include <openssl/bn.h>

#include <cstdio>
#include <string>

#include "core/core.h"
#include "core/engine.h"
#include "core/keycert.h"
#include "signed_document_check.h"

namespace {

const std::string kSecretKey = std::string(VELIX_SOURCE_DIR) + "/tests/fixtures/secret.key";
const uint8_t kPrefix[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

std::string read_file(const std::string& path) {
  std::string text;
  FILE* file = std::fopen(path.c_str(), "rb");
  for (int c; file != nullptr && (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  if (file != nullptr) std::fclose(file);
  return text;
}

class DocumentCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    core_init();
    ASSERT_EQ(core_open_secret_key(ENGINE_BUILTIN, read_file(kSecretKey).c_str(), -1, "velix-test", &key_), 0);
    KeyCertRecord cert{};
    ASSERT_EQ(core_engine(ENGINE_BUILTIN)->export_secret_key(&cert, &key_), 0);
    rsa_ = rsa_public_key(cert.n, sizeof cert.n, cert.e, sizeof cert.e);
  }
  void TearDown() override {
    RSA_free(rsa_);
    core_close_key(&key_);
    core_done();
  }

  std::string sign(const std::string& text) {
    std::string out(text.size() + 8192, '\0');
    const int n = core_sign_document(text.c_str(), -1, out.data(), static_cast<int>(out.size()), &key_);
    EXPECT_GT(n, 0);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
  }

  KeyHandle key_{};
  RSA* rsa_ = nullptr;
};

TEST_F(DocumentCheck, AcceptsTheCoresDocumentAndRejectsTampering) {
  const std::string text = "Pay 10\r\n";
  const std::string document = sign(text + expected_auth_line(text, kPrefix, 0, key_.serial));
  SignedDocument parsed;
  std::string problem;
  ASSERT_TRUE(parse_signed_document(document, &parsed, &problem)) << problem;
  EXPECT_EQ(text_without_auth_line(parsed), text);
  EXPECT_TRUE(signature_verifies(parsed, rsa_, &problem)) << problem;
  EXPECT_TRUE(auth_line_matches(parsed, kPrefix, 0, &problem)) << problem;

  SignedDocument changed = parsed;
  changed.text[4] = '9';
  EXPECT_FALSE(signature_verifies(changed, rsa_, &problem));
  EXPECT_FALSE(auth_line_matches(changed, kPrefix, 0, &problem));
  EXPECT_FALSE(auth_line_matches(parsed, kPrefix, 1, &problem)) << "key type is not in the digest";
  changed = parsed;
  changed.serial += 1;
  EXPECT_FALSE(auth_line_matches(changed, kPrefix, 0, &problem)) << "serial is not in the digest";

  RSA* other = RSA_new();
  BIGNUM* n = BN_dup(RSA_get0_n(rsa_));
  BN_add_word(n, 2);
  RSA_set0_key(other, n, BN_dup(RSA_get0_e(rsa_)), nullptr);
  EXPECT_FALSE(signature_verifies(parsed, other, &problem)) << "another modulus verified";
  RSA_free(other);

  std::string broken = document;
  broken[broken.find("\r\n=") + 3] ^= 1;  // armor checksum
  ASSERT_TRUE(parse_signed_document(broken, &changed, &problem));
  EXPECT_FALSE(signature_verifies(changed, rsa_, &problem));
  EXPECT_FALSE(parse_signed_document(document.substr(0, document.size() - 1), &changed, &problem));
}

}  // namespace
