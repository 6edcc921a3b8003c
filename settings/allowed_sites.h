// The sites the user chose "Always allow this site" for: the value
// AllowedSites (REG_SZ, one origin a line) under the key
// HKEY_CURRENT_USER\SoftWare\VelixCom. Only the user's own tools write it
// (the consent dialog, velix sites); no request of a page names it.
#pragma once

#include <string>
#include <vector>

// The stored origins, in the order they were allowed; empty when none.
std::vector<std::string> LoadAllowedSites();

// Adds (once) or removes an origin; false with *why when it cannot be stored.
bool AllowSite(const std::string& origin, std::string* why);
bool ForgetSite(const std::string& origin, std::string* why);
