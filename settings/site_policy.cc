#include "settings/site_policy.h"

#include <algorithm>

namespace {

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return (x | 0x20) == (y | 0x20) || x == y;
         });
}

// "0" or "1"; anything else is not read.
bool ReadSwitch(std::string_view value, bool* out) {
  if (value != "0" && value != "1") return false;
  *out = value == "1";
  return true;
}

bool IsHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool IsPort(std::string_view port) {
  return !port.empty() && port.size() <= 5 && std::all_of(port.begin(), port.end(), [](char c) {
    return c >= '0' && c <= '9';
  });
}

// "host[:port]" of an origin after its scheme; false when it is not one.
bool SplitHostPort(std::string_view rest, std::string_view* host) {
  const size_t colon = rest.find(':');
  *host = rest.substr(0, colon);
  if (host->empty() || host->front() == '.' || host->back() == '.' || host->find("..") != std::string_view::npos)
    return false;
  if (!std::all_of(host->begin(), host->end(), IsHostCharacter)) return false;
  return colon == std::string_view::npos || IsPort(rest.substr(colon + 1));
}

}  // namespace

SitePolicy ParseSitePolicy(std::string_view text, std::vector<std::string>* problems) {
  SitePolicy policy;
  int number = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    line = Trimmed(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    const size_t equals = line.find('=');
    const std::string_view name = Trimmed(line.substr(0, equals));
    const std::string_view value = equals == std::string_view::npos ? "" : Trimmed(line.substr(equals + 1));
    bool read = equals != std::string_view::npos;
    if (read && EqualNoCase(name, "AllowedSites")) {
      std::string_view rest = value;
      while (!rest.empty()) {
        const size_t space = rest.find_first_of(" \t");
        const std::string_view site = rest.substr(0, space);
        rest = Trimmed(rest.substr(space == std::string_view::npos ? rest.size() : space));
        const bool wildcard = site.rfind("https://*.", 0) == 0;
        const std::string plain = wildcard ? "https://" + std::string(site.substr(10)) : std::string(site);
        if (IsWellFormedOrigin(plain)) {
          policy.allowed_sites.emplace_back(site);
        } else if (problems != nullptr) {
          problems->push_back("line " + std::to_string(number) + ": \"" + std::string(site) +
                              "\" is not an origin (https://host[:port] or https://*.host)");
        }
      }
    } else if (read && EqualNoCase(name, "AllowDevelopmentOrigins")) {
      read = ReadSwitch(value, &policy.development_origins);
    } else if (read && EqualNoCase(name, "OnlyAllowedSites")) {
      read = ReadSwitch(value, &policy.only_allowed_sites);
    } else {
      read = false;
    }
    if (!read && problems != nullptr)
      problems->push_back("line " + std::to_string(number) + " is not read: " + std::string(line));
  }
  return policy;
}

bool IsDevelopmentOrigin(std::string_view origin) {
  for (const std::string_view base : {std::string_view("http://localhost"), std::string_view("http://127.0.0.1")}) {
    if (origin.substr(0, base.size()) != base) continue;
    const std::string_view port = origin.substr(base.size());
    return port.empty() || (port.front() == ':' && IsPort(port.substr(1)));
  }
  return false;
}

bool IsWellFormedOrigin(std::string_view origin) {
  if (IsDevelopmentOrigin(origin)) return true;
  constexpr std::string_view kHttps = "https://";
  if (origin.substr(0, kHttps.size()) != kHttps) return false;
  std::string_view host;
  return SplitHostPort(origin.substr(kHttps.size()), &host);
}

bool OriginMatches(std::string_view pattern, std::string_view origin) {
  constexpr std::string_view kAnySubdomain = "https://*.";
  if (pattern.substr(0, kAnySubdomain.size()) != kAnySubdomain) return pattern == origin;
  // "https://*.bank.example" takes "https://x.bank.example" and
  // "https://a.b.bank.example" (with the pattern's port, if any).
  const std::string_view suffix = pattern.substr(kAnySubdomain.size() - 1);  // ".bank.example"
  constexpr std::string_view kHttps = "https://";
  if (origin.substr(0, kHttps.size()) != kHttps || origin.size() <= kHttps.size() + suffix.size()) return false;
  if (origin.substr(origin.size() - suffix.size()) != suffix) return false;
  const std::string_view label = origin.substr(kHttps.size(), origin.size() - kHttps.size() - suffix.size());
  return label.find(':') == std::string_view::npos && label.find('/') == std::string_view::npos;
}

SiteVerdict DecideSite(const SitePolicy& policy, const std::vector<std::string>& user_sites,
                       std::string_view origin) {
  if (!IsWellFormedOrigin(origin)) return SiteVerdict::kRefused;
  if (IsDevelopmentOrigin(origin)) return policy.development_origins ? SiteVerdict::kAllowed : SiteVerdict::kRefused;
  const auto matches = [origin](const std::string& pattern) { return OriginMatches(pattern, origin); };
  if (std::any_of(policy.allowed_sites.begin(), policy.allowed_sites.end(), matches)) return SiteVerdict::kAllowed;
  if (policy.only_allowed_sites) return SiteVerdict::kRefused;
  if (std::find(user_sites.begin(), user_sites.end(), origin) != user_sites.end()) return SiteVerdict::kAllowed;
  return SiteVerdict::kAsk;
}
