#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/armor.h"
#include "core/document.h"
#include "core/secret_key.h"
#include "platform/crypto_api.h"
#include "key_session.h"

namespace {

using testing_keys::all_zero;
using testing_keys::KeySession;

// The binary packets of a key document's data block.
std::vector<uint8_t> packets_of(const std::string& text, DocumentRecord* doc) {
  EXPECT_GT(read_document(text.c_str(), static_cast<int>(text.size()), doc), 0);
  std::vector<uint8_t> packets(2048);
  const int n = armor_decode(doc->data, doc->data_length, packets.data(), static_cast<int>(packets.size()));
  EXPECT_GT(n, 0);
  packets.resize(n > 0 ? n : 0);
  return packets;
}

using SecretKeyDocument = KeySession;

TEST_F(SecretKeyDocument, PassphraseRoundTrips) {
  struct Case {
    const char* saved_with;
    const char* opened_with;
    int expected;
  };
  const Case cases[] = {
      {"correct horse", "correct horse", 0},
      {"correct horse", "correct hors", CORE_E_PASSPHRASE},
      {"correct horse", "", CORE_E_PASSPHRASE},
      {"", "", 0},
      {"", "anything", CORE_E_PASSPHRASE},
  };
  RSA* rsa = testing_keys::openssl_public_key(&public_);
  ASSERT_NE(rsa, nullptr);
  for (const auto& c : cases) {
    const std::string text = export_secret(c.saved_with);
    KeyHandle opened{};
    opened.kind = 7;  // cleared by the open
    EXPECT_EQ(core_open_secret_key(ENGINE_BUILTIN, text.c_str(), -1, c.opened_with, &opened), c.expected)
        << c.saved_with << " / " << c.opened_with;
    if (c.expected != 0) {
      EXPECT_TRUE(all_zero(&opened, sizeof opened));
      continue;
    }
    EXPECT_EQ(opened.engine_id, ENGINE_BUILTIN);
    EXPECT_EQ(opened.kind, KEY_KIND_SECRET);
    EXPECT_EQ(opened.serial, kSerial);
    EXPECT_STREQ(opened.user_id, kUserId);
    EXPECT_TRUE(testing_keys::signs_for(&opened, rsa));
    core_close_key(&opened);
  }
  RSA_free(rsa);
}

TEST_F(SecretKeyDocument, DocumentLayout) {
  const std::string text = export_secret("pw");
  DocumentRecord doc{};
  const std::vector<uint8_t> packets = packets_of(text, &doc);
  EXPECT_STREQ(doc.type, "NM");
  EXPECT_STREQ(doc.name1, kUserId);
  EXPECT_EQ(doc.serial1, kSerial);
  EXPECT_STREQ(doc.name2, "");
  EXPECT_EQ(doc.serial2, 0u);
  EXPECT_EQ(doc.signature_length, 0);
  EXPECT_EQ(doc.plain_length, static_cast<int>(packets.size()));
  ASSERT_EQ(packets[0], 0x95);
  const size_t body = packets[1] << 8 | packets[2];
  // 12 fixed bytes, a 512-bit n (2 + 64) and e = 65537 (2 + 3), then the protection byte.
  EXPECT_EQ(packets[3 + 12 + 66 + 5], 1);
  const std::vector<uint8_t> user_id(packets.begin() + 3 + body, packets.end());
  EXPECT_EQ(user_id, (std::vector<uint8_t>{0xB4, 9, 'T', 'e', 's', 't', ' ', 'U', 's', 'e', 'r'}));

  DocumentRecord clear_doc{};
  EXPECT_EQ(packets_of(export_secret(""), &clear_doc)[3 + 12 + 66 + 5], 0);
  // A random initial block: the same key and passphrase never give the same text.
  DocumentRecord again{};
  EXPECT_NE(packets_of(export_secret("pw"), &again), packets);
}

TEST_F(SecretKeyDocument, DamagedOrWrongDocuments) {
  const std::string good = export_secret("pw");
  std::string as_card = good;
  as_card.replace(as_card.find("NM"), 2, "NS");
  std::string bad_checksum = good;
  const size_t check_line = bad_checksum.find("\r\n=") + 3;
  bad_checksum[check_line] = bad_checksum[check_line] == 'A' ? 'B' : 'A';
  struct Case {
    std::string text;
    int expected;
  };
  const Case cases[] = {
      {as_card, CORE_E_DOCTYPE},
      {"", CORE_E_DOCTYPE},
      {bad_checksum, CORE_E_ARMOR_DECODE},
      {"not a document", CORE_E_FORMAT},
      {good.substr(0, good.size() - 30), CORE_E_FORMAT},
  };
  for (const auto& c : cases) {
    KeyHandle key{};
    const int length = static_cast<int>(c.text.size());
    EXPECT_EQ(core_open_secret_key(ENGINE_BUILTIN, c.text.c_str(), length, "pw", &key), c.expected) << c.text;
    EXPECT_TRUE(all_zero(&key, sizeof key));
  }
}

TEST_F(SecretKeyDocument, BlankLinesAndNameLineSerial) {
  std::string text = "\r\n\r\n \t\r\n" + export_secret("pw") + "\r\n";
  // The name line shows another serial; the certificate's serial counts.
  text.replace(text.find("00012345"), 8, "00099999");
  KeyHandle key{};
  ASSERT_EQ(core_open_secret_key(ENGINE_BUILTIN, text.c_str(), static_cast<int>(text.size()), "pw", &key), 0);
  EXPECT_EQ(key.serial, kSerial);
  core_close_key(&key);
}

TEST_F(SecretKeyDocument, EngineChecksBeforeReading) {
  const std::string text = export_secret("pw");
  for (int16_t engine : {int16_t{4}, int16_t{7}, int16_t{-1}}) {
    KeyHandle key{};
    const int expected = engine == 4 ? CORE_E_NOT_READY : CORE_E_ENGINE;
    EXPECT_EQ(core_open_secret_key(engine, text.c_str(), -1, "pw", &key), expected) << engine;
  }
}

TEST_F(SecretKeyDocument, OpensWithTheCryptoApiEngineWhereTheSystemHasIt) {
  const std::string text = export_secret("pw");
  KeyHandle key{};
  if (!platform::cryptoapi::available()) {
    EXPECT_EQ(core_open_secret_key(ENGINE_CRYPTOAPI, text.c_str(), -1, "pw", &key), CORE_E_NOT_SUPPORTED);
    return;
  }
  ASSERT_EQ(core_open_secret_key(ENGINE_CRYPTOAPI, text.c_str(), -1, "pw", &key), 0);
  EXPECT_EQ(key.serial, kSerial);
  RSA* rsa = testing_keys::openssl_public_key(&public_);
  EXPECT_TRUE(testing_keys::signs_for(&key, rsa));
  RSA_free(rsa);
  EXPECT_EQ(core_close_key(&key), 0);
  EXPECT_EQ(core_open_secret_key(ENGINE_CRYPTOAPI, text.c_str(), -1, "wrong", &key), CORE_E_PASSPHRASE);
}

TEST_F(SecretKeyDocument, OpensWithTheOpenSslEngineToo) {
  const std::string text = export_secret("pw");
  KeyHandle key{};
  ASSERT_EQ(core_open_secret_key(ENGINE_OPENSSL, text.c_str(), -1, "pw", &key), 0);
  RSA* rsa = testing_keys::openssl_public_key(&public_);
  EXPECT_TRUE(testing_keys::signs_for(&key, rsa));
  RSA_free(rsa);
  core_close_key(&key);
}

TEST_F(SecretKeyDocument, KeyWhosePrimesDoNotMatchIsRefused) {
  KeyCertRecord cert{};
  ASSERT_EQ(load_secret_key_document(export_secret("").c_str(), -1, "", &cert), 0);
  EXPECT_STREQ(cert.user_id, kUserId);
  EXPECT_EQ(cert.modulus_bits, 512);
  cert.q[127] ^= 2;  // still odd, no longer a factor
  KeyHandle key{};
  key.kind = KEY_KIND_SECRET;
  EXPECT_EQ(core_engine(ENGINE_BUILTIN)->open_secret_key(&cert, &key), CORE_E_INVALID_KEY);
  EXPECT_EQ(key.engine_data, nullptr);
}

TEST_F(SecretKeyDocument, DocumentWithoutCertificateIsRefused) {
  // Armored user ID packet only: no key to open.
  const uint8_t packets[] = {0xB4, 1, 'x'};
  char armored[64];
  const int n = armor_encode(packets, sizeof packets, armored, sizeof armored);
  DocumentRecord doc{};
  doc.version = 1;
  std::memcpy(doc.type, "NM", 3);
  doc.data = armored;
  doc.data_length = n;
  doc.plain_length = sizeof packets;
  char text[512];
  ASSERT_GT(write_document(text, sizeof text, &doc), 0);
  KeyHandle key{};
  EXPECT_EQ(core_open_secret_key(ENGINE_BUILTIN, text, -1, "", &key), CORE_E_NODATA);
}

}  // namespace
