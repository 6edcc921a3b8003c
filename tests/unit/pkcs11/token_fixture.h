// The fixture of the token engine tests: a fresh software token, the core
// started over it, and the forwarding vendor library's counters checked at
// the end (every session closed, every login logged out).
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "core/core.h"
#include "core/engine.h"
#include "forwarder_state.h"
#include "soft_token.h"

// The token's user PIN: 15 characters, the most ENGINE_PKCS11_EXT keeps.
constexpr char kTokenPin[] = "pin-12345678901";
constexpr char kTokenLabel[] = "MyToken\t";

// The state of the forwarding library loaded under a vendor name; the test
// keeps that library loaded so that its state outlives the engines' loads.
// nullptr when no such library is installed under the name.
ForwarderState* forwarder_under(const char* vendor_name);

// A 34-byte MD5 DigestInfo over the given 16 digest bytes.
std::vector<uint8_t> md5_digest_info(uint8_t fill);

class TokenEngineTest : public ::testing::Test {
 protected:
  // The vendor name whose forwarder is checked; nullptr checks none.
  explicit TokenEngineTest(const char* counted_vendor = "jcPKCS11-2.dll")
      : counted_vendor_(counted_vendor) {}
  void SetUp() override;
  void TearDown() override;

  // Restarts the core (after the forwarder's behaviour has been changed).
  void restart_core();
  // Selects token 0 and sets the PIN on an engine.
  void use_token(int16_t engine, const char* pin = kTokenPin);
  // Generates a pair on the token through the engine's generate_keys slot.
  int generate(int16_t engine, uint32_t serial, const char* user_id, int bits = 1024);
  // Imports a public key with the given modulus length (bytes) and exponent 65537.
  int import_public(int16_t engine, uint32_t serial, const char* user_id, int modulus_bytes);

  std::unique_ptr<SoftToken> token_;
  ForwarderState* state_ = nullptr;

 private:
  const char* counted_vendor_;
};
