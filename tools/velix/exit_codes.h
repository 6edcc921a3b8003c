// The exit codes of velix, documented in its manual page.
#pragma once

#include <string>

enum ExitCode : int {
  kExitOk = 0,
  kExitVerifyFailed = 1,  // a signature or an AUTH line did not check out
  kExitBadInput = 2,      // bad usage, or input that cannot be used
  kExitNotFound = 3,      // a key, card, token or file that is not there
  kExitCancelled = 4,     // the user cancelled (an empty passphrase, a closed dialog)
};

// A command ends early with its exit code and a message for standard error.
struct CommandFailure {
  int exit_code;
  std::string message;
};
