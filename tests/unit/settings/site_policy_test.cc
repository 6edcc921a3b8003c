// The site policy decides which origins reach the key before anyone is asked.
#include "settings/site_policy.h"

#include <gtest/gtest.h>

namespace {

TEST(SitePolicy, ReadsItsLinesAndNamesWhatItCannotRead) {
  std::vector<std::string> problems;
  const SitePolicy policy = ParseSitePolicy(
      "# the bank\n"
      "AllowedSites = https://bank.example https://*.bank.example  https://pay.example:8443\r\n"
      "allowdevelopmentorigins=1\n"
      "OnlyAllowedSites=yes\n"  // not 0 or 1: not read, stays off
      "AllowedSites=http://bank.example bank.example https://*.\n"
      "Nonsense\n",
      &problems);
  EXPECT_EQ(policy.allowed_sites,
            (std::vector<std::string>{"https://bank.example", "https://*.bank.example", "https://pay.example:8443"}));
  EXPECT_TRUE(policy.development_origins);
  EXPECT_FALSE(policy.only_allowed_sites);
  ASSERT_EQ(problems.size(), 5u);
  EXPECT_NE(problems[0].find("line 4"), std::string::npos) << problems[0];
  EXPECT_NE(problems[1].find("\"http://bank.example\""), std::string::npos) << problems[1];
  EXPECT_NE(problems[4].find("line 6"), std::string::npos) << problems[4];
  EXPECT_TRUE(ParseSitePolicy("", nullptr).allowed_sites.empty());
}

TEST(SitePolicy, DecidesEachOriginAsWritten) {
  SitePolicy open;
  open.allowed_sites = {"https://bank.example", "https://*.corp.example"};
  SitePolicy closed = open;
  closed.only_allowed_sites = true;
  SitePolicy development;
  development.development_origins = true;
  const std::vector<std::string> user_sites = {"https://shop.example"};
  struct Case {
    const SitePolicy& policy;
    const char* origin;
    SiteVerdict verdict;
  } const cases[] = {
      {open, "https://bank.example", SiteVerdict::kAllowed},
      {open, "https://bank.example:444", SiteVerdict::kAsk},  // another port is another site
      {open, "https://www.bank.example", SiteVerdict::kAsk},  // exact means exact
      {open, "https://a.corp.example", SiteVerdict::kAllowed},
      {open, "https://a.b.corp.example", SiteVerdict::kAllowed},
      {open, "https://corp.example", SiteVerdict::kAsk},  // a subdomain pattern is not the host itself
      {open, "https://evilcorp.example", SiteVerdict::kAsk},
      {open, "https://a.corp.example.evil.example", SiteVerdict::kAsk},
      {open, "https://shop.example", SiteVerdict::kAllowed},  // the user's own list
      {closed, "https://shop.example", SiteVerdict::kRefused},  // only the administrator's list counts
      {closed, "https://a.corp.example", SiteVerdict::kAllowed},
      {open, "http://localhost:3000", SiteVerdict::kRefused},
      {development, "http://localhost:3000", SiteVerdict::kAllowed},
      {development, "http://127.0.0.1", SiteVerdict::kAllowed},
      {development, "http://localhost.evil.example", SiteVerdict::kRefused},
      {open, "http://bank.example", SiteVerdict::kRefused},
      {open, "null", SiteVerdict::kRefused},
      {open, "", SiteVerdict::kRefused},
      {open, "https://bank.example/", SiteVerdict::kRefused},
      {open, "https://user@bank.example", SiteVerdict::kRefused},
      {open, "https://BANK.example", SiteVerdict::kRefused},  // browsers report hosts in lower case
      {open, "https://xn--80ak6aa92e.example", SiteVerdict::kAsk},  // punycode is an ordinary host
      {open, "https://bank.example\r\nUSER: x", SiteVerdict::kRefused},
      {open, "chrome-extension://abcdefghijklmnop", SiteVerdict::kRefused},
  };
  for (const Case& c : cases) EXPECT_EQ(DecideSite(c.policy, user_sites, c.origin), c.verdict) << c.origin;
}

}  // namespace
