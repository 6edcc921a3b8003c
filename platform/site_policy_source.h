// Where the administrator's site policy is read from: on Linux the file
// /etc/velix/policy.conf (a configuration file of the package); on Windows
// the values under HKEY_LOCAL_MACHINE\Software\Policies\VelixCom, given as
// the same "Name=value" lines. The user cannot write either.
#pragma once

#include <string>

namespace platform {

// The policy's lines; empty when there is no policy. *where names the place
// read; *problem is set when the place exists but cannot be read (the caller
// then serves no site it would have to ask about: an unreadable policy is
// taken as one that allows only what it cannot see, nothing).
// On Linux VELIX_POLICY_FILE, when set, names another file to read (the
// tests' own policies): it comes from the user's environment, so it is only
// ever the user's choice, never a page's.
std::string os_read_site_policy(std::string* where, std::string* problem);

}  // namespace platform
