// Which web sites may ask for a signature. The administrator's policy (a file
// under /etc/velix/ on Linux, HKLM\Software\Policies\VelixCom on Windows) and
// the user's own list decide; pages never do. An origin is matched as the
// browser reports it: scheme, host and port, nothing else.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct SitePolicy {
  // Origins the administrator allows: exact ("https://bank.example"), or all
  // subdomains of a host ("https://*.bank.example", not the host itself).
  std::vector<std::string> allowed_sites;
  // http://localhost and http://127.0.0.1 (any port), for development; off
  // unless the administrator turns it on.
  bool development_origins = false;
  // Every site that is not allowed above is refused without asking the user.
  bool only_allowed_sites = false;
};

// Reads the policy's "Name=value" lines (AllowedSites, space-separated;
// AllowDevelopmentOrigins and OnlyAllowedSites, 0 or 1); "#" starts a comment.
// A line that cannot be read is named in *problems and changes nothing, so a
// typing error never opens the policy wider than what was read.
SitePolicy ParseSitePolicy(std::string_view text, std::vector<std::string>* problems);

// True for an origin velix may serve at all: "https://host[:port]" with a
// host of letters, digits, '-' and '.' (punycode stays as it is), or a
// development origin. Opaque origins ("null"), paths and user names are not.
bool IsWellFormedOrigin(std::string_view origin);

// http://localhost[:port] or http://127.0.0.1[:port].
bool IsDevelopmentOrigin(std::string_view origin);

// One pattern of an allowed list against an origin (see allowed_sites).
bool OriginMatches(std::string_view pattern, std::string_view origin);

// How the policy decides for an origin before anyone is asked.
enum class SiteVerdict {
  kAllowed,  // by the administrator's list, or the user's when it may count
  kAsk,      // the user decides
  kRefused,  // not served at all, or only allowed sites are served
};
SiteVerdict DecideSite(const SitePolicy& policy, const std::vector<std::string>& user_sites,
                       std::string_view origin);
