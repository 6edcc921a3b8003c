// ENGINE_CRYPTOAPI. Its key blobs are checked on every system against
// OpenSSL's own numbers; where the system has CryptoAPI (Windows, Wine) its
// slots are checked against the builtin engine and OpenSSL, and elsewhere
// every slot must answer "not supported".
#include <openssl/bn.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include "engines/capi.h"
#include "tests/unit/engines/engine_fixture.h"

namespace {

namespace cryptoapi = platform::cryptoapi;

Bytes little_endian(const BIGNUM* value, size_t width) {
  Bytes out(width);
  EXPECT_EQ(BN_bn2lebinpad(value, out.data(), static_cast<int>(width)), static_cast<int>(width));
  return out;
}

Bytes le32(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
          static_cast<uint8_t>(value >> 24)};
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

TEST(CapiContainerName, CarriesSerialCounterAndThreadIdCutTo33Characters) {
  char name[kCapiContainerNameSize];
  capi_container_name(4242, 1, 77, name);
  EXPECT_STREQ(name, "morva-4242-177");
  capi_container_name(4294967295u, 4294967295ul, 4294967295ul, name);
  EXPECT_STREQ(name, "morva-4294967295-4294967295429496");
}

// The blobs are built from OpenSSL's numbers here, independently of the
// record's own conventions: prime 1 is the larger prime, the coefficient is
// prime2^-1 mod prime1.
TEST(CapiKeyBlobs, HoldTheKeyLittleEndianInCryptoApiOrder) {
  for (int bits : {512, 1024, 2048}) {
    SCOPED_TRACE(bits);
    const TestKey& test = test_rsa_key(bits);
    const size_t k = static_cast<size_t>(bits / 8);
    ASSERT_EQ(capi_modulus_bytes(test.record), k);
    const BIGNUM *n, *e, *d, *p, *q, *dp, *dq, *coefficient;
    RSA_get0_key(test.rsa.get(), &n, &e, &d);
    RSA_get0_factors(test.rsa.get(), &p, &q);
    RSA_get0_crt_params(test.rsa.get(), &dp, &dq, &coefficient);
    test_keys_detail::BnPtr inverse;
    if (BN_cmp(p, q) < 0) {
      std::swap(p, q);
      std::swap(dp, dq);
      std::unique_ptr<BN_CTX, test_keys_detail::BnCtxDeleter> ctx(BN_CTX_new());
      inverse.reset(BN_mod_inverse(nullptr, q, p, ctx.get()));
      coefficient = inverse.get();
    }
    const Bytes header_tail = concat({le32(8 * static_cast<uint32_t>(k)), le32(65537)});

    Bytes blob(capi_public_blob_size(k), 0xEE);
    capi_fill_public_blob(test.record, k, blob.data());
    EXPECT_EQ(blob, concat({{6, 2, 0, 0}, le32(0xA400), {'R', 'S', 'A', '1'}, header_tail, little_endian(n, k)}));

    blob.assign(capi_private_blob_size(k), 0xEE);
    capi_fill_private_blob(test.record, rsa_private_key_from(test.rsa.get()), k, blob.data());
    EXPECT_EQ(blob, concat({{7, 2, 0, 0}, le32(0xA400), {'R', 'S', 'A', '2'}, header_tail, little_endian(n, k),
                            little_endian(p, k / 2), little_endian(q, k / 2), little_endian(dp, k / 2),
                            little_endian(dq, k / 2), little_endian(coefficient, k / 2), little_endian(d, k)}));
  }
}

TEST(CapiKeyBlobs, BitCountsOutsideTheRecordFieldsHaveNoModulusLength) {
  KeyCertRecord record = test_rsa_key(512).record;
  for (int16_t bits : {int16_t{0}, int16_t{-8}, int16_t{2049}, int16_t{32767}}) {
    record.modulus_bits = bits;
    EXPECT_EQ(capi_modulus_bytes(record), 0u) << bits;
  }
  record.modulus_bits = 2048;
  EXPECT_EQ(capi_modulus_bytes(record), 256u);
}

class Capi : public EngineTest {
 protected:
  void SetUp() override {
    if (!cryptoapi::available()) GTEST_SKIP() << "this system has no CryptoAPI";
    EngineTest::SetUp();
  }
  static EngineEntry& capi() { return engine(ENGINE_CRYPTOAPI); }
  static std::string container(OpenKey& key) { return static_cast<CapiKey*>(key->engine_data)->container; }

  static Bytes sign(int16_t id, KeyHandle* key, const Bytes& digest_info, int out_size = 256) {
    Bytes out(static_cast<size_t>(out_size), 0xEE);
    EXPECT_EQ(engine(id).sign_digest(digest_info.data(), static_cast<int>(digest_info.size()), out.data(), out_size,
                                     key),
              0);
    return out;
  }
};

TEST(CapiWithoutCryptoApi, EverySlotAnswersNotSupported) {
  if (cryptoapi::available()) GTEST_SKIP() << "this system has CryptoAPI";
  core_init();
  EngineEntry& e = g_engine_table[ENGINE_CRYPTOAPI];
  const KeyCertRecord& record = test_rsa_key(512).record;
  KeyHandle key{};
  uint8_t buffer[256] = {};
  EXPECT_EQ(e.ready, 1);
  EXPECT_EQ(e.open_secret_key(&record, &key), CORE_E_NOT_SUPPORTED);
  EXPECT_EQ(e.open_public_key(&record, &key), CORE_E_NOT_SUPPORTED);
  EXPECT_EQ(e.close_secret_key(&key), CORE_E_NOT_SUPPORTED);
  EXPECT_EQ(e.sign_digest(buffer, 34, buffer, 256, &key), CORE_E_NOT_SUPPORTED);
  EXPECT_EQ(e.verify_digest(buffer, 64, buffer, 34, &key), CORE_E_NOT_SUPPORTED);
  EXPECT_EQ(e.public_encrypt(buffer, 10, buffer, 256, &key), CORE_E_NOT_SUPPORTED);
  EXPECT_EQ(e.private_decrypt(buffer, 64, buffer, 256, &key), CORE_E_NOT_SUPPORTED);
  EXPECT_EQ(e.random_bytes(buffer, 8), CORE_E_NOT_SUPPORTED);
  EXPECT_EQ(core_ctrl(ENGINE_CRYPTOAPI, CTRL_KEY_BITS, &key), CORE_E_NOT_SUPPORTED);
  core_done();
}

TEST_F(Capi, SignsTheBuiltinEnginesBytesAndOpenSslOpensThem) {
  for (int bits : {512, 1024, 2048}) {
    SCOPED_TRACE(bits);
    const TestKey& test = test_rsa_key(bits);
    OpenKey ours, builtin;
    ASSERT_EQ(open(ENGINE_CRYPTOAPI, KEY_KIND_SECRET, test.record, ours), 0);
    ASSERT_EQ(open(ENGINE_BUILTIN, KEY_KIND_SECRET, test.record, builtin), 0);
    const Bytes input = md5_digest_info(static_cast<uint8_t>(bits));
    const Bytes signature = sign(ENGINE_CRYPTOAPI, ours.get(), input);
    EXPECT_EQ(signature, sign(ENGINE_BUILTIN, builtin.get(), input));
    const size_t k = static_cast<size_t>(bits / 8);
    EXPECT_EQ(Bytes(signature.begin(), signature.end() - k), Bytes(256 - k, 0));
    Bytes opened(k);
    ASSERT_EQ(RSA_public_decrypt(static_cast<int>(k), signature.data() + (256 - k), opened.data(), test.rsa.get(),
                                 RSA_PKCS1_PADDING),
              34);
    opened.resize(34);
    EXPECT_EQ(opened, input);
  }
}

TEST_F(Capi, SigningRefusesShortBuffersOtherDigestsAndKeysItCannotUse) {
  const TestKey& test = test_rsa_key(1024);
  OpenKey secret, pub;
  ASSERT_EQ(open(ENGINE_CRYPTOAPI, KEY_KIND_SECRET, test.record, secret), 0);
  ASSERT_EQ(open(ENGINE_CRYPTOAPI, KEY_KIND_PUBLIC, test.record, pub), 0);
  const Bytes md5 = md5_digest_info();
  // A SHA-1 DigestInfo: signing only its last 16 bytes as an MD5 value would
  // sign something else than asked.
  const uint8_t sha1_prefix[] = {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b, 0x0e, 0x03, 0x02, 0x1a, 0x05, 0x00, 0x04, 0x14};
  Bytes sha1(35, 0x5A);
  std::copy(std::begin(sha1_prefix), std::end(sha1_prefix), sha1.begin());
  KeyHandle empty{};
  empty.engine_id = ENGINE_CRYPTOAPI;
  empty.kind = KEY_KIND_SECRET;
  struct Case {
    const char* name;
    const Bytes& input;
    int out_size;
    KeyHandle* key;
    int result;
  } cases[] = {
      {"buffer one short", md5, 127, secret.get(), CORE_E_KEYLEN},
      {"buffer exactly k", md5, 128, secret.get(), 0},
      {"SHA-1 DigestInfo", sha1, 256, secret.get(), CORE_E_SIGN},
      {"MD5 DigestInfo cut short", Bytes(md5.begin(), md5.end() - 1), 256, secret.get(), CORE_E_SIGN},
      {"public key only", md5, 256, pub.get(), CORE_E_SIGN},
      {"no engine data", md5, 256, &empty, CORE_E_INVALID_KEY},
  };
  Bytes out(256);
  for (const Case& c : cases)
    EXPECT_EQ(capi().sign_digest(c.input.data(), static_cast<int>(c.input.size()), out.data(), c.out_size, c.key),
              c.result)
        << c.name;
}

TEST_F(Capi, VerifiesWhatTheBuiltinEngineSignsAndTheBuiltinEngineVerifiesItsSignatures) {
  const TestKey& test = test_rsa_key(512);
  OpenKey secret, pub, builtin_secret, builtin_pub;
  ASSERT_EQ(open(ENGINE_CRYPTOAPI, KEY_KIND_SECRET, test.record, secret), 0);
  ASSERT_EQ(open(ENGINE_CRYPTOAPI, KEY_KIND_PUBLIC, test.record, pub), 0);
  ASSERT_EQ(open(ENGINE_BUILTIN, KEY_KIND_SECRET, test.record, builtin_secret), 0);
  ASSERT_EQ(open(ENGINE_BUILTIN, KEY_KIND_PUBLIC, test.record, builtin_pub), 0);

  const Bytes input = md5_digest_info();
  const Bytes ours = sign(ENGINE_CRYPTOAPI, secret.get(), input);
  EXPECT_EQ(engine(ENGINE_BUILTIN).verify_digest(ours.data(), 256, input.data(), 34, builtin_pub.get()), 0);

  // A signature whose value begins with a zero byte reaches the engine a
  // byte short once the leading zeros are skipped (one digest in 256).
  Bytes short_input, short_signature;
  for (int seed = 0; seed < 4096 && short_signature.empty(); ++seed) {
    const Bytes candidate = md5_digest_info(static_cast<uint8_t>(seed));
    Bytes info = candidate;
    info[18] = static_cast<uint8_t>(seed >> 8);
    const Bytes signature = sign(ENGINE_BUILTIN, builtin_secret.get(), info);
    if (signature[256 - 64] == 0) short_input = info, short_signature = signature;
  }
  ASSERT_FALSE(short_signature.empty());

  Bytes damaged = ours;
  damaged[200] ^= 1;
  Bytes other = input;
  other[33] ^= 1;
  // Built by copying into sized vectors: GCC 12 at -O3 misreads inserts into
  // short vectors as out-of-bounds copies.
  Bytes longer(65, 1);
  std::copy(ours.end() - 64, ours.end(), longer.begin() + 1);
  const uint8_t sha1_head[] = {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b, 0x0e, 0x03, 0x02,
                               0x1a, 0x05, 0x00, 0x04, 0x14, 0x00, 0x00, 0x00, 0x00};
  Bytes sha1_tail(sizeof sha1_head + 16);
  std::copy(std::begin(sha1_head), std::end(sha1_head), sha1_tail.begin());
  std::copy(input.end() - 16, input.end(), sha1_tail.begin() + sizeof sha1_head);
  Bytes padded_expected(3 + input.size(), 0);
  std::copy(input.begin(), input.end(), padded_expected.begin() + 3);
  struct Case {
    const char* name;
    const Bytes& signature;
    const Bytes& expected;
    int result;
  } cases[] = {
      {"own signature", ours, input, 0},
      {"zeros in front of the expectation", ours, padded_expected, 0},
      {"signature value with a leading zero byte", short_signature, short_input, 0},
      {"damaged signature", damaged, input, CORE_E_VERIFY},
      {"other digest", other, input, CORE_E_VERIFY},
      {"signature longer than k", longer, input, CORE_E_VERIFY},
      {"SHA-1 DigestInfo ending in the same 16 bytes", ours, sha1_tail, CORE_E_VERIFY},
  };
  for (const Case& c : cases)
    EXPECT_EQ(capi().verify_digest(c.signature.data(), static_cast<int>(c.signature.size()), c.expected.data(),
                                   static_cast<int>(c.expected.size()), pub.get()),
              c.result)
        << c.name;
}

TEST_F(Capi, EachOpenHasAContainerOfItsOwnThatCloseRemoves) {
  const KeyCertRecord& record = test_rsa_key(512).record;
  OpenKey first, second;
  ASSERT_EQ(open(ENGINE_CRYPTOAPI, KEY_KIND_SECRET, record, first), 0);
  ASSERT_EQ(open(ENGINE_CRYPTOAPI, KEY_KIND_PUBLIC, record, second), 0);
  const std::string thread = std::to_string(cryptoapi::current_thread_id());
  const std::string prefix = "morva-" + std::to_string(record.serial) + "-";
  const std::string first_name = container(first), second_name = container(second);
  for (const std::string& name : {first_name, second_name}) {
    ASSERT_EQ(name.rfind(prefix, 0), 0u) << name;
    ASSERT_EQ(name.substr(name.size() - thread.size()), thread) << name;
    EXPECT_TRUE(cryptoapi::container_exists(name.c_str())) << name;
  }
  const auto counter = [&](const std::string& name) {
    return std::stoul(name.substr(prefix.size(), name.size() - prefix.size() - thread.size()));
  };
  EXPECT_EQ(counter(second_name), counter(first_name) + 1);

  OpenKey third;
  ASSERT_EQ(open(ENGINE_CRYPTOAPI, KEY_KIND_SECRET, record, third), 0);
  EXPECT_EQ(core_close_key(first.get()), 0);
  EXPECT_EQ(first->engine_data, nullptr);
  EXPECT_FALSE(cryptoapi::container_exists(first_name.c_str()));
  EXPECT_EQ(sign(ENGINE_CRYPTOAPI, third.get(), md5_digest_info()).size(), 256u);  // still usable

  // A key CryptoAPI cannot take leaves no container behind.
  const std::string third_name = container(third);
  KeyCertRecord empty_bits = record;
  empty_bits.modulus_bits = 0;
  OpenKey refused;
  EXPECT_EQ(open(ENGINE_CRYPTOAPI, KEY_KIND_SECRET, empty_bits, refused), CORE_E_INVALID_KEY);
  EXPECT_EQ(refused->engine_data, nullptr);
  const std::string refused_name = prefix + std::to_string(counter(third_name) + 1) + thread;
  EXPECT_FALSE(cryptoapi::container_exists(refused_name.c_str()));
  KeyCertRecord not_a_product = record;
  not_a_product.n[255] ^= 2;
  EXPECT_EQ(open(ENGINE_CRYPTOAPI, KEY_KIND_SECRET, not_a_product, refused), CORE_E_INVALID_KEY);
  EXPECT_FALSE(cryptoapi::container_exists((prefix + std::to_string(counter(third_name) + 2) + thread).c_str()));

  EXPECT_EQ(core_close_key(third.get()), 0);
  EXPECT_FALSE(cryptoapi::container_exists(third_name.c_str()));
  EXPECT_EQ(capi().close_secret_key(third.get()), 0);  // nothing left to close
}

TEST_F(Capi, EncryptionRoundTripsWithOpenSsl) {
  const TestKey& test = test_rsa_key(1024);
  OpenKey secret, pub;
  ASSERT_EQ(open(ENGINE_CRYPTOAPI, KEY_KIND_SECRET, test.record, secret), 0);
  ASSERT_EQ(open(ENGINE_CRYPTOAPI, KEY_KIND_PUBLIC, test.record, pub), 0);
  for (size_t length : {size_t{1}, size_t{20}, size_t{128 - 11}}) {
    SCOPED_TRACE(length);
    Bytes message(length);
    RAND_bytes(message.data(), static_cast<int>(length));
    Bytes cipher(200, 0xEE);
    ASSERT_EQ(capi().public_encrypt(message.data(), static_cast<int>(length), cipher.data(), 200, pub.get()), 0);
    EXPECT_EQ(Bytes(cipher.begin(), cipher.begin() + 72), Bytes(72, 0));
    Bytes plain(128);
    ASSERT_EQ(RSA_private_decrypt(128, cipher.data() + 72, plain.data(), test.rsa.get(), RSA_PKCS1_PADDING),
              static_cast<int>(length));
    EXPECT_EQ(Bytes(plain.begin(), plain.begin() + static_cast<long>(length)), message);

    Bytes theirs(128), ours(128, 0xEE);
    ASSERT_EQ(RSA_public_encrypt(static_cast<int>(length), message.data(), theirs.data(), test.rsa.get(),
                                 RSA_PKCS1_PADDING),
              128);
    ASSERT_EQ(capi().private_decrypt(theirs.data(), 128, ours.data(), 128, secret.get()), static_cast<int>(length));
    EXPECT_EQ(Bytes(ours.begin(), ours.begin() + static_cast<long>(length)), message);
    if (length > 1) {
      EXPECT_EQ(capi().private_decrypt(theirs.data(), 128, ours.data(), static_cast<int>(length) - 1, secret.get()),
                CORE_E_KEYLEN);
    }
    theirs[100] ^= 1;
    EXPECT_EQ(capi().private_decrypt(theirs.data(), 128, ours.data(), 128, secret.get()), CORE_E_DECRYPT);
  }
  const Bytes message(20, 0x33), too_long(128 - 10, 0x33);
  Bytes cipher(128);
  EXPECT_EQ(capi().public_encrypt(too_long.data(), 118, cipher.data(), 128, pub.get()), CORE_E_KEYLEN);
  EXPECT_EQ(capi().public_encrypt(message.data(), 20, cipher.data(), 127, pub.get()), CORE_E_KEYLEN);
  Bytes longer(129, 1);
  EXPECT_EQ(capi().private_decrypt(longer.data(), 129, cipher.data(), 128, secret.get()), CORE_E_DECRYPT);
}

TEST_F(Capi, RandomBytesComeFromTheProvider) {
  Bytes first(32, 0), second(32, 0);
  EXPECT_EQ(capi().random_bytes(first.data(), 32), 32);
  EXPECT_EQ(capi().random_bytes(second.data(), 32), 32);
  EXPECT_NE(first, Bytes(32, 0));
  EXPECT_NE(first, second);
  EXPECT_EQ(capi().random_bytes(first.data(), 0), 0);
}

TEST_F(Capi, KeepsNoKeyCommandsAndNoKeyTransfer) {
  OpenKey secret;
  ASSERT_EQ(open(ENGINE_CRYPTOAPI, KEY_KIND_SECRET, test_rsa_key(512).record, secret), 0);
  KeyCertRecord record{};
  KeyHandle other{};
  EXPECT_EQ(core_ctrl(ENGINE_CRYPTOAPI, CTRL_KEY_BITS, secret.get()), CORE_E_NOT_SUPPORTED);
  EXPECT_EQ(capi().export_secret_key(&record, secret.get()), CORE_E_NOT_SUPPORTED);
  EXPECT_EQ(capi().export_public_key(&record, secret.get()), CORE_E_NOT_SUPPORTED);
  EXPECT_EQ(capi().import_secret_key(&record), CORE_E_NOT_SUPPORTED);
  EXPECT_EQ(capi().generate_keys(secret.get(), &other, 512), CORE_E_NOT_SUPPORTED);
}

}  // namespace
