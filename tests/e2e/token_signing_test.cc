// Signing with a key on a PKCS#11 token through the real velixhost: a
// SoftHSM2 token served under a vendor library's name, the token page of the
// authorization dialog driven from the keyboard, the document checked with
// OpenSSL against the token's public key.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "desktop.h"
#include "host_session.h"
#include "signed_document_check.h"
#include "settings/digest_prefix.h"
#include "soft_token.h"
#include "virtual_display.h"

namespace {

using namespace std::chrono_literals;

constexpr char kTokenLabel[] = "E2E Token";
constexpr char kTokenPassword[] = "token-pin-42";
constexpr uint32_t kTokenKeySerial = 777;
constexpr char kTokenUser[] = "Token User";
constexpr char kAuthorizationTitle[] = "^User authorization 1\\.0\\.0\\.345$";

TEST(TokenSigningThroughHost, TokenKeySignsAfterLoginAndTheDocumentVerifies) {
  VirtualDisplay display;
  ASSERT_TRUE(display.ok()) << display.error();
  Desktop desktop(display.name());
  HostUser user;
  ASSERT_FALSE(user.home().empty());

  SoftToken token(kTokenLabel, kTokenPassword);  // points SOFTHSM2_CONF at it for the host too
  token.generate_pair("morva" + std::to_string(kTokenKeySerial), kTokenUser);
  const auto modulus = token.attribute("morva777", CKO_PUBLIC_KEY, CKA_MODULUS);
  const auto exponent = token.attribute("morva777", CKO_PUBLIC_KEY, CKA_PUBLIC_EXPONENT);
  std::unique_ptr<RSA, decltype(&RSA_free)> key(
      rsa_public_key(modulus.data(), modulus.size(), exponent.data(), exponent.size()), RSA_free);

  // The first token engine finds SoftHSM2 under its second vendor name.
  const std::filesystem::path vendor = std::filesystem::path(user.home()) / "vendor";
  std::filesystem::create_directory(vendor);
  std::filesystem::create_symlink(kSoftHsmModule, vendor / "libetpkcs11.so");
  // The token page first, no key chosen yet; tokens are named "manufacturer\label".
  user.choose_token(std::string("SoftHSM v2\\") + kTokenLabel, 0);

  HostRun run(user, display.name(), sign_message_request("Pay 20 by token"),
              {{"LD_LIBRARY_PATH", vendor.string()}});
  const auto window = desktop.wait_for_window(kAuthorizationTitle, 30s, &run.process());
  ASSERT_TRUE(window) << "no authorization dialog; windows: " << desktop.visible_titles();
  // The password field has the focus on the token page; "Update" logs in and
  // lists the token's keys, selects the first and moves the focus to OK.
  ASSERT_TRUE(desktop.type(*window, kTokenPassword));
  ASSERT_TRUE(desktop.press(*window, {"Tab", "Tab", "Return"}));
  ASSERT_TRUE(desktop.press(*window, {"Return"}));

  std::string problem;
  const auto response = run.response(60s, &problem);
  ASSERT_TRUE(response) << problem;
  const std::string document = (*response)["result"].toObject()["value"].toString().toStdString();
  SignedDocument parsed;
  ASSERT_TRUE(parse_signed_document(document, &parsed, &problem)) << problem << "\n" << document;
  EXPECT_EQ(parsed.serial, kTokenKeySerial);
  EXPECT_EQ(parsed.user_id, kTokenUser);
  EXPECT_EQ(text_without_auth_line(parsed), "Pay 20 by token\r\n");
  EXPECT_TRUE(signature_verifies(parsed, key.get(), &problem)) << problem;
  uint8_t prefix[10];
  assemble_digest_prefix(prefix);
  EXPECT_TRUE(auth_line_matches(parsed, prefix, 1, &problem)) << problem;
}

}  // namespace
