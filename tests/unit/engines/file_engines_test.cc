// Both file-key engines behave the same for everything but PEM; each case
// runs on ENGINE_BUILTIN and on ENGINE_OPENSSL, and results are checked with
// OpenSSL's own RSA operations.
#include <openssl/rand.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <cstring>

#include "tests/unit/engines/engine_fixture.h"

namespace {

class FileEngine : public EngineTest, public ::testing::WithParamInterface<int16_t> {
 protected:
  int16_t id() const { return GetParam(); }
};

std::string engine_name(const ::testing::TestParamInfo<int16_t>& info) {
  return info.param == ENGINE_BUILTIN ? "Builtin" : "OpenSsl";
}

Bytes openssl_signature(const RSA* rsa, const Bytes& input) {
  Bytes out(RSA_size(rsa));
  EXPECT_EQ(RSA_private_encrypt(static_cast<int>(input.size()), input.data(), out.data(), const_cast<RSA*>(rsa),
                                RSA_PKCS1_PADDING),
            RSA_size(rsa));
  return out;
}

TEST_P(FileEngine, SignsRightAlignedWithLeadingZeros) {
  for (int bits : {512, 1024, 2048}) {
    const TestKey& test = test_rsa_key(bits);
    OpenKey key;
    ASSERT_EQ(open(id(), KEY_KIND_SECRET, test.record, key), 0) << bits;
    const Bytes input = md5_digest_info();
    Bytes out(256, 0xEE);
    ASSERT_EQ(engine(id()).sign_digest(input.data(), 34, out.data(), 256, key.get()), 0) << bits;
    const size_t k = static_cast<size_t>(bits / 8);
    EXPECT_EQ(Bytes(out.begin(), out.end() - k), Bytes(256 - k, 0)) << bits;
    EXPECT_EQ(Bytes(out.end() - k, out.end()), openssl_signature(test.rsa.get(), input)) << bits;
  }
}

TEST_P(FileEngine, SigningRefusesWrongKindShortBufferAndLongInput) {
  const TestKey& test = test_rsa_key(1024);
  OpenKey secret, pub;
  ASSERT_EQ(open(id(), KEY_KIND_SECRET, test.record, secret), 0);
  ASSERT_EQ(open(id(), KEY_KIND_PUBLIC, test.record, pub), 0);
  const Bytes input = md5_digest_info();
  const Bytes long_input(128 - 10, 0x42);
  Bytes out(256);
  struct Case {
    const char* name;
    const Bytes& input;
    int out_size;
    KeyHandle* key;
    int result;
  } cases[] = {
      {"public key", input, 256, pub.get(), CORE_E_INVALID_KEY},
      {"buffer one short", input, 127, secret.get(), CORE_E_KEYLEN},
      {"input k - 10", long_input, 256, secret.get(), CORE_E_SIGN},
      {"buffer exactly k", input, 128, secret.get(), 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(engine(id()).sign_digest(c.input.data(), static_cast<int>(c.input.size()), out.data(), c.out_size, c.key),
              c.result)
        << c.name;
  KeyHandle empty{};
  empty.kind = KEY_KIND_SECRET;
  EXPECT_EQ(engine(id()).sign_digest(input.data(), 34, out.data(), 256, &empty), CORE_E_INVALID_KEY);
}

TEST_P(FileEngine, RefusesASecretKeyWhoseModulusIsNotThePrimeProduct) {
  KeyCertRecord record = test_rsa_key(1024).record;
  record.n[200] ^= 0x01;
  OpenKey key;
  EXPECT_EQ(open(id(), KEY_KIND_SECRET, record, key), CORE_E_INVALID_KEY);
  EXPECT_EQ(key->engine_data, nullptr);

  record = test_rsa_key(1024).record;
  record.q[127] ^= 0x02;  // first prime changed: also even now
  EXPECT_EQ(open(id(), KEY_KIND_SECRET, record, key), CORE_E_INVALID_KEY);
  EXPECT_EQ(key->engine_data, nullptr);
}

TEST_P(FileEngine, VerifiesItsOwnAndOpenSslSignatures) {
  const TestKey& test = test_rsa_key(1024);
  OpenKey pub;
  ASSERT_EQ(open(id(), KEY_KIND_PUBLIC, test.record, pub), 0);
  const Bytes input = md5_digest_info();
  const Bytes signature = openssl_signature(test.rsa.get(), input);
  // Zeros in front of the value and of the expected block, made whole.
  Bytes padded_signature(128 + signature.size(), 0);
  std::copy(signature.begin(), signature.end(), padded_signature.begin() + 128);
  Bytes padded_expected(3 + input.size(), 0);
  std::copy(input.begin(), input.end(), padded_expected.begin() + 3);
  Bytes wrong_expected = input;
  wrong_expected[33] ^= 1;
  Bytes wrong_signature = signature;
  wrong_signature[5] ^= 1;
  Bytes too_long = signature;
  too_long.insert(too_long.begin(), 1);

  struct Case {
    const char* name;
    const Bytes& signature;
    const Bytes& expected;
    int result;
  } cases[] = {
      {"plain", signature, input, 0},
      {"leading zeros in both", padded_signature, padded_expected, 0},
      {"other digest", signature, wrong_expected, CORE_E_VERIFY},
      {"shorter expectation", signature, Bytes(input.begin(), input.end() - 1), CORE_E_VERIFY},
      {"damaged signature", wrong_signature, input, CORE_E_VERIFY},
      {"signature longer than k", too_long, input, CORE_E_VERIFY},
      {"the digest itself as signature", input, input, CORE_E_VERIFY},
  };
  for (const Case& c : cases)
    EXPECT_EQ(engine(id()).verify_digest(c.signature.data(), static_cast<int>(c.signature.size()), c.expected.data(),
                                         static_cast<int>(c.expected.size()), pub.get()),
              c.result)
        << c.name;

  OpenKey secret;
  ASSERT_EQ(open(id(), KEY_KIND_SECRET, test.record, secret), 0);
  EXPECT_EQ(engine(id()).verify_digest(signature.data(), 128, input.data(), 34, secret.get()), CORE_E_INVALID_KEY);
}

TEST_P(FileEngine, KeyBitsOfEitherKind) {
  const TestKey& test = test_rsa_key(1024);
  OpenKey secret, pub;
  ASSERT_EQ(open(id(), KEY_KIND_SECRET, test.record, secret), 0);
  ASSERT_EQ(open(id(), KEY_KIND_PUBLIC, test.record, pub), 0);
  EXPECT_EQ(core_ctrl(id(), CTRL_KEY_BITS, secret.get()), 1024);
  EXPECT_EQ(core_ctrl(id(), CTRL_KEY_BITS, pub.get()), 1024);
  KeyHandle empty{};
  empty.engine_id = id();
  empty.kind = KEY_KIND_SECRET;
  EXPECT_EQ(core_ctrl(id(), CTRL_KEY_BITS, &empty), CORE_E_NOT_SUPPORTED);
  EXPECT_EQ(core_ctrl(id(), CTRL_KEY_BITS, static_cast<KeyHandle*>(nullptr)), CORE_E_NOT_SUPPORTED);
  EXPECT_EQ(core_ctrl(id(), CTRL_TOKEN_COUNT), CORE_E_NOT_SUPPORTED);
}

TEST_P(FileEngine, ExportGivesBackTheKeyCertificateNumbers) {
  const KeyCertRecord& original = test_rsa_key(1024).record;
  OpenKey secret, pub;
  ASSERT_EQ(open(id(), KEY_KIND_SECRET, original, secret), 0);
  ASSERT_EQ(open(id(), KEY_KIND_PUBLIC, original, pub), 0);

  KeyCertRecord exported{};
  ASSERT_EQ(engine(id()).export_secret_key(&exported, secret.get()), 0);
  EXPECT_EQ(exported.modulus_bits, 1024);
  EXPECT_EQ(std::memcmp(exported.n, original.n, sizeof exported.n), 0);
  EXPECT_EQ(std::memcmp(exported.e, original.e, sizeof exported.e), 0);
  EXPECT_EQ(std::memcmp(exported.d, original.d, sizeof exported.d), 0);
  EXPECT_EQ(std::memcmp(exported.p, original.p, sizeof exported.p), 0);
  EXPECT_EQ(std::memcmp(exported.q, original.q, sizeof exported.q), 0);
  EXPECT_EQ(std::memcmp(exported.u, original.u, sizeof exported.u), 0);

  KeyCertRecord exported_public{};
  ASSERT_EQ(engine(id()).export_public_key(&exported_public, pub.get()), 0);
  EXPECT_EQ(exported_public.modulus_bits, 1024);
  EXPECT_EQ(std::memcmp(exported_public.n, original.n, sizeof original.n), 0);
  EXPECT_EQ(std::memcmp(exported_public.e, original.e, sizeof original.e), 0);

  EXPECT_EQ(engine(id()).export_secret_key(&exported, pub.get()), CORE_E_INVALID_KEY);
  EXPECT_EQ(engine(id()).export_public_key(&exported, secret.get()), CORE_E_INVALID_KEY);
}

TEST_P(FileEngine, EncryptionRoundTripsWithOpenSsl) {
  const TestKey& test = test_rsa_key(1024);
  OpenKey secret, pub;
  ASSERT_EQ(open(id(), KEY_KIND_SECRET, test.record, secret), 0);
  ASSERT_EQ(open(id(), KEY_KIND_PUBLIC, test.record, pub), 0);
  EngineEntry& e = engine(id());

  for (size_t length : {size_t{1}, size_t{20}, size_t{128 - 11}}) {
    Bytes message(length);
    RAND_bytes(message.data(), static_cast<int>(length));
    Bytes cipher(200, 0xEE);
    ASSERT_EQ(e.public_encrypt(message.data(), static_cast<int>(length), cipher.data(), 200, pub.get()), 0) << length;
    EXPECT_EQ(Bytes(cipher.begin(), cipher.begin() + 72), Bytes(72, 0));
    Bytes plain(128);
    ASSERT_EQ(RSA_private_decrypt(128, cipher.data() + 72, plain.data(), test.rsa.get(), RSA_PKCS1_PADDING),
              static_cast<int>(length));
    EXPECT_EQ(Bytes(plain.begin(), plain.begin() + static_cast<long>(length)), message);

    Bytes theirs(128), ours(128, 0xEE);
    ASSERT_EQ(RSA_public_encrypt(static_cast<int>(length), message.data(), theirs.data(), test.rsa.get(),
                                 RSA_PKCS1_PADDING),
              128);
    ASSERT_EQ(e.private_decrypt(theirs.data(), 128, ours.data(), 128, secret.get()), static_cast<int>(length));
    EXPECT_EQ(Bytes(ours.begin(), ours.begin() + static_cast<long>(length)), message);
  }

  const Bytes message(20, 0x33), too_long(128 - 10, 0x33);
  Bytes cipher(128), plain(128);
  EXPECT_EQ(e.public_encrypt(too_long.data(), 118, cipher.data(), 128, pub.get()), CORE_E_KEYLEN);
  EXPECT_EQ(e.public_encrypt(message.data(), 20, cipher.data(), 127, pub.get()), CORE_E_KEYLEN);
  EXPECT_EQ(e.public_encrypt(message.data(), 20, cipher.data(), 128, secret.get()), CORE_E_INVALID_KEY);
  ASSERT_EQ(e.public_encrypt(message.data(), 20, cipher.data(), 128, pub.get()), 0);
  EXPECT_EQ(e.private_decrypt(cipher.data(), 128, plain.data(), 19, secret.get()), CORE_E_KEYLEN);
  EXPECT_EQ(e.private_decrypt(cipher.data(), 128, plain.data(), 128, pub.get()), CORE_E_INVALID_KEY);
  // A signature is block type 1, not 2.
  const Bytes signature = openssl_signature(test.rsa.get(), md5_digest_info());
  EXPECT_EQ(e.private_decrypt(signature.data(), 128, plain.data(), 128, secret.get()), CORE_E_DECRYPT);
}

TEST_P(FileEngine, RandomBytesAndUnsupportedSlots) {
  EngineEntry& e = engine(id());
  uint8_t a[40] = {}, b[40] = {};
  EXPECT_EQ(e.random_bytes(a, 40), 40);
  EXPECT_EQ(e.random_bytes(b, 40), 40);
  EXPECT_NE(std::memcmp(a, b, 40), 0);
  const KeyCertRecord& record = test_rsa_key(512).record;
  EXPECT_EQ(e.import_secret_key(&record), CORE_E_NOT_SUPPORTED);
  EXPECT_EQ(e.import_public_key(&record), CORE_E_NOT_SUPPORTED);
}

INSTANTIATE_TEST_SUITE_P(Engines, FileEngine, ::testing::Values(ENGINE_BUILTIN, ENGINE_OPENSSL), engine_name);

}  // namespace
