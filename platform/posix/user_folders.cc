#include "platform/user_folders.h"

#include <cstdlib>

namespace platform {
namespace {

std::string from_environment(const char* name) {
  const char* value = std::getenv(name);
  // XDG paths must be absolute; a relative one is ignored.
  return value != nullptr && value[0] == '/' ? value : "";
}

}  // namespace

std::string os_user_state_directory() {
  const std::string state = from_environment("XDG_STATE_HOME");
  if (!state.empty()) return state + "/velix";
  const std::string home = from_environment("HOME");
  return home.empty() ? "" : home + "/.local/state/velix";
}

std::string os_user_runtime_directory() {
  const std::string runtime = from_environment("XDG_RUNTIME_DIR");
  return runtime.empty() ? os_user_state_directory() : runtime + "/velix";
}

}  // namespace platform
