#include "platform/site_policy_source.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/read_whole_file.h"

namespace platform {

std::string os_read_site_policy(std::string* where, std::string* problem) {
  const char* chosen = std::getenv("VELIX_POLICY_FILE");
  *where = chosen != nullptr && *chosen != '\0' ? chosen : "/etc/velix/policy.conf";
  std::vector<uint8_t> bytes;
  switch (read_whole_file(where->c_str(), &bytes)) {
    case FileRead::kOk:
      return std::string(bytes.begin(), bytes.end());
    case FileRead::kMissing:
      return {};
    case FileRead::kFailed:
      *problem = *where + " cannot be read: " + std::strerror(errno);
      return {};
  }
  return {};
}

}  // namespace platform
