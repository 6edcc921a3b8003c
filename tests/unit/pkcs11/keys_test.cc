// Key operations on token keys: open, sign, verify, encrypt, decrypt,
// export and random bytes, checked independently with OpenSSL.
#include <openssl/bn.h>
#include <openssl/rsa.h>

#include <cstring>

#include "tests/support/signed_document_check.h"
#include "token_fixture.h"

namespace {

class TokenKeys : public TokenEngineTest {
 protected:
  void SetUp() override {
    TokenEngineTest::SetUp();
    use_token(ENGINE_PKCS11);
    ASSERT_EQ(generate(ENGINE_PKCS11, 1234, "Signer One"), 0);
    ASSERT_EQ(core_open_secret_key_by_serial(ENGINE_PKCS11, 1234, &secret_), 0);
    ASSERT_EQ(core_open_public_key_by_serial(ENGINE_PKCS11, 1234, &public_), 0);
  }
  void TearDown() override {
    EXPECT_EQ(core_close_key(&secret_), 0);
    EXPECT_EQ(core_close_key(&public_), 0);
    TokenEngineTest::TearDown();
  }
  const EngineEntry& engine() { return g_engine_table[ENGINE_PKCS11]; }

  KeyHandle secret_{};
  KeyHandle public_{};
};

// The DigestInfo a signature opens to, recovered with OpenSSL from the
// exported modulus and exponent.
std::vector<uint8_t> openssl_recover(const KeyCertRecord& record, const uint8_t* signature,
                                     size_t length) {
  RSA* rsa = RSA_new();
  RSA_set0_key(rsa, BN_bin2bn(record.n, sizeof record.n, nullptr),
               BN_bin2bn(record.e, sizeof record.e, nullptr), nullptr);
  std::vector<uint8_t> out(static_cast<size_t>(RSA_size(rsa)));
  const int recovered = RSA_public_decrypt(static_cast<int>(length), signature, out.data(), rsa,
                                           RSA_PKCS1_PADDING);
  RSA_free(rsa);
  out.resize(recovered < 0 ? 0 : static_cast<size_t>(recovered));
  return out;
}

TEST_F(TokenKeys, OpeningFillsTheUserIdAndKeepsNoEngineData) {
  EXPECT_STREQ(secret_.user_id, "Signer One");
  EXPECT_EQ(secret_.kind, KEY_KIND_SECRET);
  EXPECT_EQ(secret_.engine_data, nullptr);
  EXPECT_STREQ(public_.user_id, "Signer One");
  KeyHandle missing{};
  EXPECT_EQ(core_open_secret_key_by_serial(ENGINE_PKCS11, 999, &missing), CORE_E_READ_FILE);
  EXPECT_EQ(core_open_public_key_by_serial(ENGINE_PKCS11, 999, &missing), CORE_E_READ_FILE);
}

TEST_F(TokenKeys, SignatureIsRightAlignedAndVerifiesOnTheTokenAndWithOpenSsl) {
  const auto digest_info = md5_digest_info(0x40);
  uint8_t signature[256];
  std::memset(signature, 0xee, sizeof signature);
  ASSERT_EQ(engine().sign_digest(digest_info.data(), 34, signature, 256, &secret_), 0);
  for (int i = 0; i < 128; ++i) ASSERT_EQ(signature[i], 0) << i;

  EXPECT_EQ(engine().verify_digest(signature, 256, digest_info.data(), 34, &public_), 0);
  EXPECT_EQ(engine().verify_digest(signature + 128, 128, digest_info.data(), 34, &public_), 0);
  auto other = md5_digest_info(0x41);
  EXPECT_EQ(engine().verify_digest(signature, 256, other.data(), 34, &public_), CORE_E_VERIFY);
  EXPECT_EQ(engine().verify_digest(signature, 256, digest_info.data(), 34, &secret_),
            CORE_E_INVALID_KEY);

  KeyCertRecord record{};
  ASSERT_EQ(engine().export_public_key(&record, &public_), 0);
  EXPECT_EQ(record.modulus_bits, 1024);
  EXPECT_EQ(record.n[127], 0);
  EXPECT_GE(record.n[128], 0x80);
  const uint8_t e[] = {1, 0, 1};
  EXPECT_EQ(std::memcmp(record.e + 253, e, 3), 0);
  EXPECT_EQ(openssl_recover(record, signature + 128, 128), digest_info);
}

TEST_F(TokenKeys, SignatureWithALeadingZeroByteStillVerifies) {
  // About one signature in 256 starts with a zero byte; look for one.
  uint8_t signature[128];
  std::vector<uint8_t> digest_info;
  for (int fill = 0; fill < 4096; ++fill) {
    digest_info = md5_digest_info(static_cast<uint8_t>(fill));
    digest_info[20] = static_cast<uint8_t>(fill >> 8);
    ASSERT_EQ(engine().sign_digest(digest_info.data(), 34, signature, 128, &secret_), 0);
    if (signature[0] == 0) break;
  }
  ASSERT_EQ(signature[0], 0) << "no signature with a leading zero byte found";
  EXPECT_EQ(engine().verify_digest(signature, 128, digest_info.data(), 34, &public_), 0);
}

TEST_F(TokenKeys, SigningFailuresHaveTheirOwnCodes) {
  const auto digest_info = md5_digest_info(1);
  uint8_t out[256];
  EXPECT_EQ(engine().sign_digest(digest_info.data(), 34, out, 64, &secret_), CORE_E_SIGN);
  EXPECT_EQ(engine().sign_digest(digest_info.data(), 34, out, 0, &secret_), CORE_E_NOMEM);
  EXPECT_EQ(engine().sign_digest(digest_info.data(), 34, out, 256, &public_), CORE_E_INVALID_KEY);
  KeyHandle unknown = secret_;
  unknown.serial = 4321;
  EXPECT_EQ(engine().sign_digest(digest_info.data(), 34, out, 256, &unknown), CORE_E_READ_FILE);
  // A block longer than the modulus allows.
  std::vector<uint8_t> too_long(200, 0x11);
  EXPECT_EQ(engine().sign_digest(too_long.data(), 200, out, 256, &secret_), CORE_E_SIGN);
}

TEST_F(TokenKeys, EncryptionRoundTripsThroughTheToken) {
  const uint8_t message[] = "token secret";
  uint8_t cipher[200];
  ASSERT_EQ(engine().public_encrypt(message, sizeof message, cipher, sizeof cipher, &public_), 0);
  for (int i = 0; i < 200 - 128; ++i) ASSERT_EQ(cipher[i], 0);
  uint8_t plain[200];
  ASSERT_EQ(engine().private_decrypt(cipher + 72, 128, plain, sizeof plain, &secret_),
            static_cast<int>(sizeof message));
  EXPECT_EQ(std::memcmp(plain, message, sizeof message), 0);

  EXPECT_EQ(engine().public_encrypt(message, sizeof message, cipher, 100, &public_),
            CORE_E_ENCRYPT);
  EXPECT_EQ(engine().public_encrypt(message, sizeof message, cipher, 200, &secret_),
            CORE_E_INVALID_KEY);
  uint8_t garbage[128] = {1, 2, 3};
  EXPECT_EQ(engine().private_decrypt(garbage, 128, plain, sizeof plain, &secret_), CORE_E_DECRYPT);
  EXPECT_EQ(engine().private_decrypt(cipher + 72, 128, plain, sizeof plain, &public_),
            CORE_E_INVALID_KEY);
}

TEST_F(TokenKeys, RandomBytesComeFromTheToken) {
  uint8_t a[32] = {};
  uint8_t b[32] = {};
  EXPECT_EQ(engine().random_bytes(a, 32), 32);
  EXPECT_EQ(engine().random_bytes(b, 32), 32);
  EXPECT_NE(std::memcmp(a, b, 32), 0);
  EXPECT_EQ(engine().random_bytes(nullptr, 8), 0);
}

TEST_F(TokenKeys, SecretKeysAreNotExported) {
  KeyCertRecord record{};
  EXPECT_EQ(engine().export_secret_key(&record, &secret_), CORE_E_NOT_SUPPORTED);
  EXPECT_EQ(engine().import_secret_key(&record), CORE_E_NOT_SUPPORTED);
}

}  // namespace

TEST_F(TokenKeys, SignedDocumentVerifiesOnTheTokenAndWithOpenSsl) {
  const std::string text = "Pay 10\r\nAUTH=token\r\n";
  std::vector<char> out(4096);
  const int n = core_sign_document(text.c_str(), static_cast<int>(text.size()), out.data(),
                                   static_cast<int>(out.size()), &secret_);
  ASSERT_GT(n, 0);
  const std::string document(out.data(), static_cast<size_t>(n));

  test_support::SignedDocument doc;
  std::string why;
  ASSERT_TRUE(test_support::parse_signed_document(document, &doc, &why)) << why;
  EXPECT_EQ(doc.text, text);
  EXPECT_EQ(doc.serial, 1234u);
  EXPECT_EQ(doc.user_id, "Signer One");
  std::vector<uint8_t> digest_info = test_support::expected_digest_info(doc);
  EXPECT_EQ(engine().verify_digest(doc.signature.data(), static_cast<int>(doc.signature.size()),
                                   digest_info.data(), static_cast<int>(digest_info.size()), &public_),
            0);
  EXPECT_TRUE(test_support::VerifiesWithOpenSsl(document, test_support::public_record_of(&public_)));

  // A changed text no longer matches the signature.
  std::string forged = document;
  forged.replace(forged.find("Pay 10"), 6, "Pay 99");
  EXPECT_FALSE(test_support::VerifiesWithOpenSsl(forged, test_support::public_record_of(&public_)));
}
