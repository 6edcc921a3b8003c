// The key file fixture (tests/fixtures/secret.key) and its public half, read
// straight from the file with the builtin engine, for checking signatures
// that a signer made with it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "core/core.h"
#include "core/crypto.h"
#include "core/engine.h"
#include "core/keycert.h"
#include "engines/hardanchor.h"
#include "tests/support/signed_document_check.h"

namespace test_support {

inline const std::string kFixtureKeyPath = VELIX_SOURCE_DIR "/tests/fixtures/secret.key";
constexpr const char* kFixturePassphrase = "velix-test";
constexpr uint32_t kFixtureSerial = 12345;

// Needs the core started (core_init, or any signer object).
inline KeyCertRecord fixture_public_key() {
  KeyHandle key{};
  KeyHardAnchor anchor;
  EXPECT_EQ(anchor.OpenKeyFile(ENGINE_BUILTIN, kFixtureKeyPath.c_str(), kFixturePassphrase, &key), 0);
  KeyCertRecord secret{};
  EXPECT_EQ(core_engine(key.engine_id)->export_secret_key(&secret, &key), 0);
  core_close_key(&key);
  KeyCertRecord record{};
  std::memcpy(record.n, secret.n, sizeof record.n);
  std::memcpy(record.e, secret.e, sizeof record.e);
  secure_wipe(&secret, sizeof secret);
  return record;
}

// The signed text of a document that the fixture key signed; checks the
// signature with OpenSSL and the key's serial and user ID.
inline std::string text_signed_by_fixture(const std::string& document) {
  EXPECT_TRUE(VerifiesWithOpenSsl(document, fixture_public_key()));
  SignedDocument doc;
  std::string why;
  EXPECT_TRUE(parse_signed_document(document, &doc, &why)) << why;
  EXPECT_EQ(doc.serial, kFixtureSerial);
  EXPECT_EQ(doc.user_id, "Test User");
  return doc.text;
}

}  // namespace test_support
