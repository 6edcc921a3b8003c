// Per-user folders velix keeps its own files in (beside the settings, whose
// place the registry store decides).
#pragma once

#include <string>

namespace platform {

// Lasting state that is not a setting (the signature journal):
// $XDG_STATE_HOME/velix (~/.local/state/velix) on Linux,
// %LOCALAPPDATA%\velix on Windows. Empty when neither can be found.
std::string os_user_state_directory();

// What lives only while the user's session does (the dialog lock):
// $XDG_RUNTIME_DIR/velix on Linux, else the state folder; the state folder on
// Windows.
std::string os_user_runtime_directory();

}  // namespace platform
