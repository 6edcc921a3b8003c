// Documents signed by the file-key engines (builtin, OpenSSL, and CryptoAPI
// where the system has it) verify independently: OpenSSL's own RSA public operation opens the signature value
// to the MD5 DigestInfo of the text and the extras, recomputed here, and the
// verify operation of every one of them accepts it.
#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/md5.h>
#include <openssl/rsa.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/armor.h"
#include "core/core.h"
#include "core/document.h"
#include "core/engine.h"
#include "core/keycert.h"
#include "platform/crypto_api.h"

namespace {

// The engines that work on file keys on this system.
std::vector<int16_t> file_key_engines() {
  std::vector<int16_t> engines = {ENGINE_BUILTIN, ENGINE_OPENSSL};
  if (platform::cryptoapi::available()) engines.push_back(ENGINE_CRYPTOAPI);
  return engines;
}

const uint8_t kMd5DigestInfoPrefix[] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                        0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};

void put_number(const BIGNUM* value, uint8_t* field, int size) { ASSERT_EQ(BN_bn2binpad(value, field, size), size); }

class EngineSigning : public ::testing::TestWithParam<int16_t> {
 protected:
  static void SetUpTestSuite() {
    rsa_ = RSA_new();
    BIGNUM* e = BN_new();
    BN_set_word(e, RSA_F4);
    ASSERT_EQ(RSA_generate_key_ex(rsa_, 2048, e, nullptr), 1);
    BN_free(e);
  }
  static void TearDownTestSuite() { RSA_free(rsa_); }

  void SetUp() override {
    core_init();
    // The key certificate a key file would give, made from the OpenSSL key:
    // p is the smaller prime, q the larger, u = p^-1 mod q.
    cert_ = KeyCertRecord{};
    cert_.version = 3;
    cert_.packet_type = 5;
    cert_.modulus_bits = 2048;
    cert_.serial = 12345;
    std::strcpy(cert_.user_id, "Test User");
    cert_.algorithm = 1;
    const BIGNUM *n, *e, *d, *p1, *p2;
    RSA_get0_key(rsa_, &n, &e, &d);
    RSA_get0_factors(rsa_, &p1, &p2);
    const bool first_smaller = BN_cmp(p1, p2) < 0;
    const BIGNUM* small = first_smaller ? p1 : p2;
    const BIGNUM* large = first_smaller ? p2 : p1;
    BN_CTX* ctx = BN_CTX_new();
    BIGNUM* u = BN_mod_inverse(nullptr, small, large, ctx);
    put_number(n, cert_.n, sizeof cert_.n);
    put_number(e, cert_.e, sizeof cert_.e);
    put_number(d, cert_.d, sizeof cert_.d);
    put_number(small, cert_.p, sizeof cert_.p);
    put_number(large, cert_.q, sizeof cert_.q);
    put_number(u, cert_.u, sizeof cert_.u);
    BN_clear_free(u);
    BN_CTX_free(ctx);
  }
  void TearDown() override { core_done(); }

  // Opens a key of the given kind on an engine through its slot, as the key
  // loader does with the certificate of a key file.
  KeyHandle open(int16_t engine, uint16_t kind) {
    KeyHandle key{};
    key.engine_id = engine;
    key.kind = kind;
    key.serial = cert_.serial;
    std::strcpy(key.user_id, cert_.user_id);
    const EngineEntry& entry = g_engine_table[engine];
    const auto slot = kind == KEY_KIND_SECRET ? entry.open_secret_key : entry.open_public_key;
    EXPECT_NE(slot, nullptr);
    if (slot != nullptr) {
      EXPECT_EQ(slot(&cert_, &key), 0);
    }
    return key;
  }

  static RSA* rsa_;
  KeyCertRecord cert_{};
};

RSA* EngineSigning::rsa_ = nullptr;

TEST_P(EngineSigning, SignedDocumentVerifiesIndependently) {
  KeyHandle key = open(GetParam(), KEY_KIND_SECRET);
  const std::string text = "Pay 100 to account 42\r\n";
  std::vector<char> out(4096);
  const int n = core_sign_document(text.data(), -1, out.data(), static_cast<int>(out.size()), &key);
  ASSERT_GT(n, 0) << n;
  EXPECT_EQ(core_close_key(&key), 0);

  // Take the document apart by hand.
  DocumentRecord doc{};
  ASSERT_EQ(read_document(out.data(), n, &doc), n);
  EXPECT_STREQ(doc.type, "SM");
  EXPECT_STREQ(doc.name1, "Test User");
  EXPECT_EQ(doc.serial1, 12345u);
  ASSERT_EQ(std::string(doc.data, static_cast<size_t>(doc.data_length)), text);
  std::vector<uint8_t> packets(static_cast<size_t>(doc.signature_length));
  const int length = armor_decode(doc.signature, doc.signature_length, packets.data(),
                                  static_cast<int>(packets.size()));
  ASSERT_GT(length, 3 + 17);
  ASSERT_EQ(packets[0], 0x89);
  const uint8_t* body = packets.data() + 3;
  const uint8_t* extras = body + 2;
  const size_t bits = static_cast<size_t>(body[15] << 8 | body[16]);
  const std::vector<uint8_t> value(body + 17, body + 17 + (bits + 7) / 8);
  EXPECT_EQ(extras[0], 0x01);
  EXPECT_EQ(extras[1] << 24 | extras[2] << 16 | extras[3] << 8 | extras[4], 12345);

  // MD5 over the text and the 9 extras bytes, as DigestInfo.
  std::string hashed = text + std::string(reinterpret_cast<const char*>(extras), 9);
  std::vector<uint8_t> expected(sizeof kMd5DigestInfoPrefix + MD5_DIGEST_LENGTH);
  std::memcpy(expected.data(), kMd5DigestInfoPrefix, sizeof kMd5DigestInfoPrefix);
  MD5(reinterpret_cast<const uint8_t*>(hashed.data()), hashed.size(), expected.data() + sizeof kMd5DigestInfoPrefix);
  EXPECT_EQ(body[13], expected[18]);
  EXPECT_EQ(body[14], expected[19]);

  std::vector<uint8_t> opened(static_cast<size_t>(RSA_size(rsa_)));
  const int opened_length = RSA_public_decrypt(static_cast<int>(value.size()), value.data(), opened.data(), rsa_,
                                               RSA_PKCS1_PADDING);
  ASSERT_EQ(opened_length, static_cast<int>(expected.size()));
  opened.resize(static_cast<size_t>(opened_length));
  EXPECT_EQ(opened, expected);

  // Every engine accepts it; none accepts another digest.
  for (int16_t verifier : file_key_engines()) {
    KeyHandle pub = open(verifier, KEY_KIND_PUBLIC);
    const auto verify = g_engine_table[verifier].verify_digest;
    ASSERT_NE(verify, nullptr);
    EXPECT_EQ(verify(value.data(), static_cast<int>(value.size()), expected.data(), static_cast<int>(expected.size()),
                     &pub), 0) << verifier;
    expected.back() ^= 1;
    EXPECT_EQ(verify(value.data(), static_cast<int>(value.size()), expected.data(), static_cast<int>(expected.size()),
                     &pub), CORE_E_VERIFY) << verifier;
    expected.back() ^= 1;
    EXPECT_EQ(core_close_key(&pub), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(FileKeyEngines, EngineSigning, ::testing::ValuesIn(file_key_engines()),
                         [](const auto& info) {
                           return info.param == ENGINE_BUILTIN   ? "Builtin"
                                  : info.param == ENGINE_OPENSSL ? "OpenSsl"
                                                                 : "CryptoApi";
                         });

}  // namespace
