// A build without Qt has no dialogs to show.
#include "tools/velix/exit_codes.h"
#include "tools/velix/signer_dialogs.h"

struct SignerDialogs::Qt {};

SignerDialogs::SignerDialogs() {
  throw CommandFailure{kExitBadInput, "--dialog is not available: this velix was built without Qt"};
}

SignerDialogs::~SignerDialogs() = default;
