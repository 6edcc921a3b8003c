#include "host/sign_reason.h"

#include "core/core.h"
#include "settings/config.h"
#include "signer/signer.h"
#include "ui/dialog_backend.h"

namespace {

// The signer reports a core failure c as 1000 - c.
constexpr int32_t core_failure(int code) { return 1000 - code; }

}  // namespace

QString sign_reason(const SignOutcome& o) {
  if (o.signed_something) return QStringLiteral("ok");
  // Refused before any dialog, display or not.
  if (o.signer_error == kErrorHeaderText) return QStringLiteral("header-text-refused");
  if (!o.has_display) return QStringLiteral("no-display");
  switch (o.signer_error) {
    case kErrorCancelled:
      return QStringLiteral("cancelled");
    case kErrorBadInput:  // no key chosen, or no passphrase typed
      return o.key_configured ? QStringLiteral("wrong-passphrase") : QStringLiteral("no-key");
    case core_failure(CORE_E_PASSPHRASE):
      return o.token_key && o.pin_locked ? QStringLiteral("pin-locked") : QStringLiteral("wrong-passphrase");
    case core_failure(CORE_E_FILE_NOT_FOUND):
    case core_failure(CORE_E_READ_FILE):
    case core_failure(CORE_E_FORMAT):  // also a key file anchored to another computer
      return QStringLiteral("key-file-unreadable");
    case core_failure(CORE_E_NOT_READY):
    case core_failure(CORE_E_NO_PUBLIC_KEY):
      return o.token_key ? QStringLiteral("token-absent") : QStringLiteral("sign-failed");
    default:
      return QStringLiteral("sign-failed");
  }
}

SignOutcome observe_sign_outcome(bool signed_something, int32_t signer_error) {
  SignOutcome outcome;
  outcome.signed_something = signed_something;
  outcome.signer_error = signer_error;
  // Without a display that can be opened velixhost installs no dialog backend.
  outcome.has_display = ui::ActiveDialogBackend() != nullptr;
  if (signed_something) return outcome;
  const Config& config = Config::Instance();
  outcome.token_key = config.KeyType != 0;
  outcome.key_configured = config.keyList.size() > 0 || config.eTokenKeySerial != 0;
  if (outcome.token_key)
    for (int16_t engine = 0; engine < ENGINE_COUNT; ++engine)
      if (core_ctrl(engine, CTRL_PIN_LOCKED) == 1) outcome.pin_locked = true;
  return outcome;
}
