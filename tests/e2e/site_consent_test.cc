// Which sites reach the key, tried as a page would: the real velixhost with a
// request naming its origin, the consent question and the authorization
// dialog on a private X display, answered with xdotool.
#include <gtest/gtest.h>

#include <QJsonObject>

#include <fstream>
#include <memory>
#include <string>

#include "desktop.h"
#include "host_session.h"
#include "virtual_display.h"

namespace {

using namespace std::chrono_literals;

const std::string kFixtures = std::string(VELIX_SOURCE_DIR) + "/tests/fixtures/";
constexpr char kConsentTitle[] = "^Signing request$";
constexpr char kAuthorizationTitle[] = "^User authorization 1\\.0\\.0\\.345";
constexpr auto kWindowWait = 30s;  // the sanitizer build starts slowly
constexpr auto kHostWait = 60s;

class SiteConsent : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { display_ = new VirtualDisplay(); }
  static void TearDownTestSuite() {
    delete display_;
    display_ = nullptr;
  }

  void SetUp() override {
    ASSERT_TRUE(display_->ok()) << display_->error();
    desktop_ = std::make_unique<Desktop>(display_->name());
    user_.list_key("Test key", user_.add_file(kFixtures + "secret.key", "secret.key"));
  }

  void write_policy(const std::string& text) { std::ofstream(user_.home() + "/policy.conf") << text; }

  void start(const std::string& origin) {
    QJsonObject request = sign_message_request("Pay 10 to ACME", {{"useScreenKbd", false}});
    request["origin"] = QString::fromStdString(origin);
    run_ = std::make_unique<HostRun>(user_, display_->name(), request);
  }

  std::optional<std::string> wait_for(const char* title) {
    return desktop_->wait_for_window(title, kWindowWait, &run_->process());
  }

  // The answer's reason (error 0 checked).
  std::string reason() {
    std::string problem;
    const auto response = run_->response(kHostWait, &problem);
    if (!response) {
      ADD_FAILURE() << problem;
      return {};
    }
    EXPECT_EQ((*response)["error"].toInt(-1), 0);
    return (*response)["result"].toObject()["reason"].toString().toStdString();
  }

  static VirtualDisplay* display_;
  HostUser user_;
  std::unique_ptr<Desktop> desktop_;
  std::unique_ptr<HostRun> run_;
};

VirtualDisplay* SiteConsent::display_ = nullptr;

// The focus starts on Refuse; Shift+Tab reaches "Always allow this site",
// then "Allow once".
TEST_F(SiteConsent, ANewSiteIsAskedFirstAndOnlyAlwaysIsRemembered) {
  constexpr char kSite[] = "https://shop.example";
  // Refuse: no authorization dialog, and the page is told.
  start(kSite);
  auto consent = wait_for(kConsentTitle);
  ASSERT_TRUE(consent) << "no question; windows: " << desktop_->visible_titles();
  ASSERT_TRUE(desktop_->press(*consent, {"Escape"}));
  EXPECT_EQ(reason(), "origin-refused");

  // Allow once: the authorization dialog follows; the next request asks again.
  start(kSite);
  consent = wait_for(kConsentTitle);
  ASSERT_TRUE(consent) << "no question; windows: " << desktop_->visible_titles();
  ASSERT_TRUE(desktop_->press(*consent, {"shift+Tab", "shift+Tab", "space"}));
  auto authorization = wait_for(kAuthorizationTitle);
  ASSERT_TRUE(authorization) << "no authorization; windows: " << desktop_->visible_titles();
  ASSERT_TRUE(desktop_->press(*authorization, {"Escape"}));
  EXPECT_EQ(reason(), "cancelled");

  // Always: asked once more, then never again.
  start(kSite);
  consent = wait_for(kConsentTitle);
  ASSERT_TRUE(consent) << "the site was remembered after Allow once";
  ASSERT_TRUE(desktop_->press(*consent, {"shift+Tab", "space"}));
  authorization = wait_for(kAuthorizationTitle);
  ASSERT_TRUE(authorization) << "no authorization; windows: " << desktop_->visible_titles();
  ASSERT_TRUE(desktop_->press(*authorization, {"Escape"}));
  EXPECT_EQ(reason(), "cancelled");

  start(kSite);
  authorization = wait_for(kAuthorizationTitle);
  ASSERT_TRUE(authorization) << "asked again after Always; windows: " << desktop_->visible_titles();
  ASSERT_TRUE(desktop_->press(*authorization, {"Escape"}));
  EXPECT_EQ(reason(), "cancelled");
}

TEST_F(SiteConsent, TheAdministratorsPolicyAllowsAndRefusesWithoutAsking) {
  write_policy("# the bank's sites\nAllowedSites=https://*.bank.example https://bank.example\nOnlyAllowedSites=1\n");
  // A subdomain of an allowed site goes straight to the authorization dialog.
  start("https://pay.bank.example");
  const auto authorization = wait_for(kAuthorizationTitle);
  ASSERT_TRUE(authorization) << "no authorization; windows: " << desktop_->visible_titles();
  ASSERT_TRUE(desktop_->press(*authorization, {"Escape"}));
  EXPECT_EQ(reason(), "cancelled");
  // Every other site, the development origins and a look-alike are refused at once.
  for (const char* site : {"https://shop.example", "http://localhost:8080", "https://bank.example.evil.example",
                           "https://evilbank.example", "null"}) {
    SCOPED_TRACE(site);
    start(site);
    EXPECT_EQ(reason(), "origin-refused");
  }
}

}  // namespace
