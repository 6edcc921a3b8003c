// Why a signMessage request ended as it did, in a word a page can act on:
// "ok", "cancelled", "wrong-passphrase", "no-key", "key-file-unreadable",
// "token-absent", "pin-locked", "no-display" or "sign-failed". It goes into
// the answer beside the signed text.
#pragma once

#include <QString>

#include <cstdint>

struct SignOutcome {
  bool signed_something = false;
  int32_t signer_error = 0;  // the signer's Error after SignMessage
  bool has_display = true;   // false when dialogs could not be shown at all
  bool token_key = false;    // the user's key is on a token (Config KeyType)
  bool key_configured = true;  // a key file is listed or a token key chosen
  bool pin_locked = false;   // a token engine reports its PIN locked
};

QString sign_reason(const SignOutcome& outcome);

// The outcome of the signer's last SignMessage, read from the signer's
// error, the user's configuration and the token engines.
SignOutcome observe_sign_outcome(bool signed_something, int32_t signer_error);
