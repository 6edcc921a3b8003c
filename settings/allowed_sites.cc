#include "settings/allowed_sites.h"

#include <algorithm>

#include "platform/registry.h"
#include "settings/config.h"

namespace {

constexpr char kValueName[] = "AllowedSites";

bool Store(const std::vector<std::string>& sites, std::string* why) {
  std::string text;
  for (const std::string& site : sites) text += site + "\n";
  platform::RegKey key;
  long result = key.Create(platform::RegHive::kCurrentUser, kConfigKeyPath);
  if (result == platform::kRegOk)
    result = key.SetValue(kValueName, platform::kRegSz, text.c_str(), static_cast<uint32_t>(text.size() + 1));
  if (result == platform::kRegOk) return true;
  *why = "the allowed sites cannot be stored (error " + std::to_string(result) + ")";
  return false;
}

}  // namespace

std::vector<std::string> LoadAllowedSites() {
  platform::RegKey key;
  if (key.Open(platform::RegHive::kCurrentUser, kConfigKeyPath) != platform::kRegOk) return {};
  uint32_t type = 0;
  uint32_t size = 0;
  if (key.QueryValue(kValueName, &type, nullptr, &size) != platform::kRegOk || type != platform::kRegSz) return {};
  std::string text(size, '\0');
  if (key.QueryValue(kValueName, &type, text.data(), &size) != platform::kRegOk) return {};
  text.resize(std::min<size_t>(size, text.find('\0')));
  std::vector<std::string> sites;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find('\n', start), text.size());
    if (end > start) sites.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return sites;
}

bool AllowSite(const std::string& origin, std::string* why) {
  std::vector<std::string> sites = LoadAllowedSites();
  if (std::find(sites.begin(), sites.end(), origin) != sites.end()) return true;
  sites.push_back(origin);
  return Store(sites, why);
}

bool ForgetSite(const std::string& origin, std::string* why) {
  std::vector<std::string> sites = LoadAllowedSites();
  const auto kept = std::remove(sites.begin(), sites.end(), origin);
  if (kept == sites.end()) {
    *why = origin + " is not in the list";
    return false;
  }
  sites.erase(kept, sites.end());
  return Store(sites, why);
}
