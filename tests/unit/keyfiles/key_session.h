// A core session with a freshly generated key pair, for key file tests.
#pragma once

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/rsa.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/core.h"
#include "core/engine.h"
#include "core/keycert.h"
#include "keycard_text.h"

namespace testing_keys {

inline bool all_zero(const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i)
    if (bytes[i]) return false;
  return true;
}

// OpenSSL's own RSA object for the public half of a handle.
inline RSA* openssl_public_key(KeyHandle* public_key) {
  KeyCertRecord cert{};
  EngineEntry* engine = core_engine(public_key->engine_id);
  if (engine->export_public_key(&cert, public_key) != 0) return nullptr;
  RSA* rsa = RSA_new();
  RSA_set0_key(rsa, BN_bin2bn(cert.n, 256, nullptr), BN_bin2bn(cert.e, 256, nullptr), nullptr);
  return rsa;
}

// Signs a DigestInfo-sized block with the secret key and checks the
// signature with OpenSSL's public-key operation.
inline bool signs_for(KeyHandle* secret_key, RSA* public_rsa) {
  const uint8_t digest_info[34] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d,
                                   0x02, 0x05, 0x05, 0x00, 0x04, 0x10, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  uint8_t signature[256];
  EngineEntry* engine = core_engine(secret_key->engine_id);
  if (engine->sign_digest(digest_info, sizeof digest_info, signature, sizeof signature, secret_key) != 0)
    return false;
  const int k = RSA_size(public_rsa);
  std::vector<uint8_t> recovered(k);
  const int n = RSA_public_decrypt(k, signature + 256 - k, recovered.data(), public_rsa, RSA_PKCS1_PADDING);
  return n == sizeof digest_info && std::memcmp(recovered.data(), digest_info, n) == 0;
}

class KeySession : public ::testing::Test {
 protected:
  static constexpr uint32_t kSerial = 12345;
  static constexpr const char* kUserId = "Test User";

  void SetUp() override {
    core_init();
    generate(ENGINE_BUILTIN, 512);
  }
  void TearDown() override {
    core_close_key(&secret_);
    core_close_key(&public_);
    core_done();
  }

  void generate(int16_t engine, int bits) {
    core_close_key(&secret_);
    core_close_key(&public_);
    const std::string card = testing_keycard::make_key_card(kUserId, std::to_string(kSerial));
    ASSERT_EQ(core_generate_keys(engine, card.c_str(), -1, &secret_, &public_, bits), 0);
  }

  std::string export_secret(const char* passphrase) {
    std::vector<char> out(4096);
    const int n = core_export_secret_key(out.data(), static_cast<int>(out.size()), passphrase, &secret_);
    EXPECT_GT(n, 0);
    return std::string(out.data(), n > 0 ? n : 0);
  }

  KeyHandle secret_{};
  KeyHandle public_{};
};

}  // namespace testing_keys
