// Signing through the engine table with a test engine of our own that signs
// with an OpenSSL RSA key; every signature is checked with OpenSSL's own RSA
// public operation, never with our code.
#include "core/sign.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/md5.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/armor.h"
#include "core/core.h"
#include "core/document.h"
#include "core/engine.h"

namespace {

constexpr int16_t kTestEngine = ENGINE_BUILTIN;  // the slot the test engine takes over
const uint8_t kMd5DigestInfoPrefix[] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                        0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};

int g_sign_calls = 0;
int g_sign_result = 0;  // a non-zero value makes the test engine fail with it
uint32_t g_now = 1700000000;
uint32_t test_clock() { return g_now; }

int test_sign_digest(const uint8_t* digest_info, int length, uint8_t* out, int out_size, KeyHandle* key) {
  ++g_sign_calls;
  if (g_sign_result != 0) return g_sign_result;
  auto* rsa = static_cast<RSA*>(key->engine_data);
  const int k = RSA_size(rsa);
  if (out_size < k) return CORE_E_KEYLEN;
  std::memset(out, 0, static_cast<size_t>(out_size));
  return RSA_private_encrypt(length, digest_info, out + out_size - k, rsa, RSA_PKCS1_PADDING) == k ? 0 : CORE_E_SIGN;
}

struct ParsedSignature {
  std::vector<uint8_t> packets;  // the decoded armor
  uint8_t version, extras_length, pk_algorithm, digest_algorithm;
  std::vector<uint8_t> extras, check, value;
};

// Splits the armored signature into its fields by hand, as a receiver would.
::testing::AssertionResult parse_signature(const std::string& armored, ParsedSignature* out) {
  out->packets.assign(armored.size(), 0);
  const int n = armor_decode(armored.data(), static_cast<int>(armored.size()), out->packets.data(),
                             static_cast<int>(out->packets.size()));
  if (n < 0) return ::testing::AssertionFailure() << "armor does not decode";
  const auto& p = out->packets;
  if (n < 3 || p[0] != 0x89) return ::testing::AssertionFailure() << "no signature packet header";
  const size_t body = static_cast<size_t>(p[1] << 8 | p[2]);
  if (3 + body + 3 != static_cast<size_t>(n)) return ::testing::AssertionFailure() << "lengths do not add up";
  const uint8_t* b = p.data() + 3;
  out->version = b[0];
  out->extras_length = b[1];
  out->extras.assign(b + 2, b + 11);
  out->pk_algorithm = b[11];
  out->digest_algorithm = b[12];
  out->check.assign(b + 13, b + 15);
  const size_t bits = static_cast<size_t>(b[15] << 8 | b[16]);
  out->value.assign(b + 17, b + body);
  if ((bits + 7) / 8 != out->value.size() || (out->value[0] >> ((bits - 1) % 8)) != 1)
    return ::testing::AssertionFailure() << "bit count does not match the value";
  const uint8_t trust[] = {0xB0, 0x01, 0xC7};
  if (std::memcmp(p.data() + 3 + body, trust, 3) != 0) return ::testing::AssertionFailure() << "no trust packet";
  return ::testing::AssertionSuccess();
}

std::vector<uint8_t> md5_digest_info(const std::string& text, const std::vector<uint8_t>& extras,
                                     const std::string& user_id = "") {
  std::string hashed = text + user_id + std::string(extras.begin(), extras.end());
  uint8_t digest[MD5_DIGEST_LENGTH];
  MD5(reinterpret_cast<const uint8_t*>(hashed.data()), hashed.size(), digest);
  std::vector<uint8_t> info(sizeof kMd5DigestInfoPrefix + sizeof digest);
  std::memcpy(info.data(), kMd5DigestInfoPrefix, sizeof kMd5DigestInfoPrefix);
  std::memcpy(info.data() + sizeof kMd5DigestInfoPrefix, digest, sizeof digest);
  return info;
}

class Signing : public ::testing::Test {
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
    saved_ = g_engine_table[kTestEngine];
    EngineEntry test{};
    test.id = kTestEngine;
    test.ready = 1;
    test.sign_digest = test_sign_digest;
    g_engine_table[kTestEngine] = test;
    key_ = KeyHandle{};
    key_.engine_id = kTestEngine;
    key_.kind = KEY_KIND_SECRET;
    key_.serial = 12345;
    std::strcpy(key_.user_id, "Test User");
    key_.engine_data = rsa_;
    g_sign_calls = 0;
    g_sign_result = 0;
    g_now = 1700000000;
    set_signing_clock(test_clock);
  }
  void TearDown() override {
    set_signing_clock(nullptr);
    g_engine_table[kTestEngine] = saved_;
    core_done();
  }

  std::string sign_document(const std::string& text, int capacity = 8192) {
    std::string out(static_cast<size_t>(capacity), '\xAA');
    const int n = core_sign_document(text.data(), static_cast<int>(text.size()), out.data(), capacity, &key_);
    if (n < 0) return std::string("<").append(std::to_string(n)).append(">");  // not "<" + …: GCC 12 -Wrestrict
    EXPECT_EQ(out[static_cast<size_t>(n)], '\0');
    return out.substr(0, static_cast<size_t>(n));
  }

  // True when OpenSSL's public operation opens the value to the expected block.
  static bool openssl_verifies(const std::vector<uint8_t>& value, const std::vector<uint8_t>& expected) {
    std::vector<uint8_t> opened(static_cast<size_t>(RSA_size(rsa_)));
    const int n = RSA_public_decrypt(static_cast<int>(value.size()), value.data(), opened.data(), rsa_,
                                     RSA_PKCS1_PADDING);
    return n >= 0 && std::vector<uint8_t>(opened.begin(), opened.begin() + n) == expected;
  }

  static RSA* rsa_;
  EngineEntry saved_{};
  KeyHandle key_{};
};

RSA* Signing::rsa_ = nullptr;

TEST_F(Signing, DocumentLayoutAndIndependentVerification) {
  const std::string text = "Hello";
  const std::string doc = sign_document(text);
  ASSERT_EQ(doc.front(), '0') << doc;
  DocumentRecord record{};
  ASSERT_EQ(read_document(doc.data(), static_cast<int>(doc.size()), &record), static_cast<int>(doc.size()));
  const std::string signature(record.signature, static_cast<size_t>(record.signature_length));
  char signature_length[9];
  std::snprintf(signature_length, sizeof signature_length, "%08zu", signature.size());
  EXPECT_EQ(doc.substr(8, 20), "01SM0000000500000005");
  EXPECT_EQ(doc.substr(28, 8), signature_length);
  EXPECT_EQ(doc.substr(38, 30), "Test User           00012345\r\n");
  EXPECT_EQ(doc.substr(68, 30), "                    00000000\r\n");
  EXPECT_EQ(std::string(record.data, static_cast<size_t>(record.data_length)), text);

  ParsedSignature parsed;
  ASSERT_TRUE(parse_signature(signature, &parsed));
  EXPECT_EQ(parsed.version, 3);
  EXPECT_EQ(parsed.extras_length, 9);
  const std::vector<uint8_t> extras = {0x01, 0x00, 0x00, 0x30, 0x39, 0x65, 0x53, 0xF1, 0x00};
  EXPECT_EQ(parsed.extras, extras);  // class, serial 12345, time 1700000000
  EXPECT_EQ(parsed.pk_algorithm, 1);
  EXPECT_EQ(parsed.digest_algorithm, 1);
  const auto expected = md5_digest_info(text, extras);
  EXPECT_EQ(parsed.check, std::vector<uint8_t>(expected.begin() + 18, expected.begin() + 20));
  EXPECT_TRUE(openssl_verifies(parsed.value, expected));
}

TEST_F(Signing, TimeIsPartOfTheSignature) {
  const std::string first = sign_document("same text");
  EXPECT_EQ(sign_document("same text"), first);  // PKCS #1 v1.5 signing is deterministic
  g_now += 1;
  const std::string later = sign_document("same text");
  EXPECT_NE(later, first);
  DocumentRecord a{}, b{};
  read_document(first.data(), -1, &a);
  read_document(later.data(), -1, &b);
  ParsedSignature pa, pb;
  ASSERT_TRUE(parse_signature(std::string(a.signature, static_cast<size_t>(a.signature_length)), &pa));
  ASSERT_TRUE(parse_signature(std::string(b.signature, static_cast<size_t>(b.signature_length)), &pb));
  EXPECT_NE(pa.value, pb.value);
  EXPECT_TRUE(openssl_verifies(pb.value, md5_digest_info("same text", pb.extras)));
}

TEST_F(Signing, DetachedSignature) {
  const std::string doc = sign_document("Hello");
  DocumentRecord record{};
  ASSERT_GT(read_document(doc.data(), -1, &record), 0);
  char out[1024];
  const int n = core_sign_detached("Hello", -1, out, sizeof out, &key_);
  ASSERT_GT(n, 0);
  EXPECT_EQ(std::string(out, static_cast<size_t>(n)),
            std::string(record.signature, static_cast<size_t>(record.signature_length)));
  EXPECT_EQ(out[n], '\0');

  g_sign_calls = 0;
  EXPECT_EQ(core_sign_detached("Hello", 5, nullptr, 1024, &key_), 0);
  EXPECT_EQ(core_sign_detached("Hello", 5, out, 0, &key_), 0);
  EXPECT_EQ(g_sign_calls, 2);  // the key still signs; only the output is skipped
  EXPECT_EQ(core_sign_detached("Hello", 5, out, 40, &key_), CORE_E_ARMOR_ENCODE);
}

// A stream over a text handed out in pieces of at most `piece` bytes, ending
// with `end` (0, or an error code) once the text is used up.
struct PieceStream {
  std::string text;
  size_t piece;
  int end = 0;
  size_t at = 0;
  int calls = 0;
  static int read(void* context, char* buffer, int capacity) {
    auto* s = static_cast<PieceStream*>(context);
    ++s->calls;
    if (s->at == s->text.size()) return s->end;
    const size_t n = std::min({s->piece, s->text.size() - s->at, static_cast<size_t>(capacity)});
    std::memcpy(buffer, s->text.data() + s->at, n);
    s->at += n;
    return static_cast<int>(n);
  }
};

TEST_F(Signing, StreamedSignatureIsTheDetachedSignatureOfTheWholeData) {
  std::string data(700 * 1024 + 3, '\0');  // several times the core's buffer
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 1000);
  char whole[1024], streamed[1024];
  const int n = core_sign_detached(data.data(), static_cast<int>(data.size()), whole, sizeof whole, &key_);
  ASSERT_GT(n, 0);
  for (size_t piece : {size_t{1} << 30, size_t{4096}, size_t{1000}}) {
    PieceStream stream{data, piece};
    EXPECT_EQ(core_sign_detached_stream(PieceStream::read, &stream, streamed, sizeof streamed, &key_), n) << piece;
    EXPECT_EQ(std::string(streamed, static_cast<size_t>(n)), std::string(whole, static_cast<size_t>(n))) << piece;
  }
  PieceStream empty{"", 10};
  ASSERT_GT(core_sign_detached_stream(PieceStream::read, &empty, streamed, sizeof streamed, &key_), 0);
  ParsedSignature parsed;
  ASSERT_TRUE(parse_signature(streamed, &parsed));
  EXPECT_TRUE(openssl_verifies(parsed.value, md5_digest_info("", parsed.extras)));
}

TEST_F(Signing, StreamReadErrorEndsTheSigningWithItsCode) {
  char out[1024];
  PieceStream failing{"some bytes, then a read error", 5, CORE_E_READ_FILE};
  g_sign_calls = 0;
  EXPECT_EQ(core_sign_detached_stream(PieceStream::read, &failing, out, sizeof out, &key_), CORE_E_READ_FILE);
  EXPECT_EQ(g_sign_calls, 0);  // nothing is signed
  EXPECT_EQ(core_sign_detached_stream(nullptr, nullptr, out, sizeof out, &key_), CORE_E_ARGS);
  PieceStream stream{"x", 1};
  EXPECT_EQ(core_sign_detached_stream(PieceStream::read, &stream, out, sizeof out, nullptr), CORE_E_ARGS);
  KeyHandle unused = key_;
  unused.engine_id = 4;
  EXPECT_EQ(core_sign_detached_stream(PieceStream::read, &stream, out, sizeof out, &unused), CORE_E_NOT_READY);
  EXPECT_EQ(stream.calls, 0);
}

TEST_F(Signing, KeyCertificationHashesTheUserId) {
  SignatureRecord record{};
  const std::string data = "certified key packet";
  char out[1024];
  const int n = make_signature(reinterpret_cast<const uint8_t*>(data.data()), static_cast<int>(data.size()), &key_,
                               out, sizeof out, "Other User", &record, &g_engine_table[kTestEngine]);
  ASSERT_GT(n, 0);
  EXPECT_EQ(record.sig_class, 0x10);
  EXPECT_EQ(record.serial, 12345u);
  EXPECT_STREQ(record.user_id, "Test User");
  EXPECT_EQ(record.time, g_now);
  ParsedSignature parsed;
  ASSERT_TRUE(parse_signature(std::string(out, static_cast<size_t>(n)), &parsed));
  EXPECT_EQ(parsed.extras[0], 0x10);
  EXPECT_EQ(std::vector<uint8_t>(record.value + 256 - parsed.value.size(), record.value + 256), parsed.value);
  EXPECT_TRUE(openssl_verifies(parsed.value, md5_digest_info(data, parsed.extras, "Other User")));
  EXPECT_FALSE(openssl_verifies(parsed.value, md5_digest_info(data, parsed.extras)));
}

TEST_F(Signing, Failures) {
  KeyHandle bad = key_;
  char out[8192];
  const struct {
    const char* name;
    int16_t engine;
    int code;
  } routing[] = {
      {"id 7", 7, CORE_E_ENGINE},
      {"id -1", -1, CORE_E_ENGINE},
      {"unused engine 4", 4, CORE_E_NOT_READY},
  };
  for (const auto& c : routing) {
    bad.engine_id = c.engine;
    EXPECT_EQ(core_sign_document("x", 1, out, sizeof out, &bad), c.code) << c.name;
    EXPECT_EQ(core_sign_detached("x", 1, out, sizeof out, &bad), c.code) << c.name;
  }
  g_engine_table[kTestEngine].sign_digest = nullptr;
  EXPECT_EQ(core_sign_document("x", 1, out, sizeof out, &key_), CORE_E_NOT_SUPPORTED);
  EXPECT_EQ(core_sign_detached("x", 1, nullptr, 0, &key_), CORE_E_NOT_SUPPORTED);
  g_engine_table[kTestEngine].sign_digest = test_sign_digest;

  g_sign_result = CORE_E_SIGN;  // the engine's own code comes back as it is
  EXPECT_EQ(sign_document("x"), "<-18>");
  g_sign_result = CORE_E_INVALID_KEY;
  EXPECT_EQ(core_sign_detached("x", 1, out, sizeof out, &key_), CORE_E_INVALID_KEY);
  g_sign_result = 0;

  const std::string doc = sign_document("Hello");
  EXPECT_EQ(sign_document("Hello", static_cast<int>(doc.size())), "<-2>");  // no room for the NUL
  EXPECT_EQ(sign_document("Hello", static_cast<int>(doc.size()) + 1), doc);
  EXPECT_EQ(core_sign_document("x", 1, out, sizeof out, nullptr), CORE_E_ARGS);

  // An empty text would make a document that no reader accepts.
  g_sign_calls = 0;
  EXPECT_EQ(core_sign_document("", -1, out, sizeof out, &key_), CORE_E_NODATA);
  EXPECT_EQ(core_sign_document("x", 0, out, sizeof out, &key_), CORE_E_NODATA);
  EXPECT_EQ(g_sign_calls, 0);
}

}  // namespace
