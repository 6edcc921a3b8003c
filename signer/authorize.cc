#include "signer/authorize.h"

#include <algorithm>
#include <cstring>
#include <string.h>
#include <string>

#include "core/core.h"
#include "core/crypto.h"
#include "engines/hardanchor.h"
#include "platform/codepage.h"
#include "settings/config.h"
#include "signer/crypto_initializer.h"
#include "signer/operation_messages.h"
#include "signer/signer.h"
#include "signer/signer_clock.h"
#include "signer/signer_state.h"
#include "ui/sign_dlg.h"

namespace {

constexpr int kDialogOk = 1;

// A deadline of 0 ("Always", or ChangeUser) never lets the open key be reused.
bool MayReuseOpenKey(int64_t now) {
  if (!CCryptoInitializer::Instance().key_open()) return false;
  return ReaskDeadline < 0 || (ReaskDeadline > 0 && ReaskDeadline > now);
}

// Opens the key the dialog named into the process's key handle; 0 or a
// negative core code. A failed open leaves no key open.
int OpenChosenKey(const ui::CSignDlg& dialog) {
  CCryptoInitializer& crypto = CCryptoInitializer::Instance();
  crypto.CloseKey();
  KeyHandle& key = crypto.key();
  const Config& config = Config::Instance();
  int result;
  if (config.KeyType != 0) {
    const auto engine = static_cast<int16_t>(dialog.TokenEngine());
    core_ctrl(engine, CTRL_SELECT_TOKEN, dialog.TokenIndex());
    std::string pin =
        platform::convert_code_page(dialog.Passphrase(), platform::ansi_code_page(), platform::kCodePageUtf8)
            .value_or(std::string());
    result = core_ctrl(engine, CTRL_SET_PIN, pin.c_str());
    secure_wipe(pin.data(), pin.size());
    if (result == 0) result = core_open_secret_key_by_serial(engine, config.eTokenKeySerial, &key);
  } else {
    KeyHardAnchor anchor;
    result = anchor.OpenKeyFile(ENGINE_BUILTIN, dialog.KeyPath().c_str(), dialog.Passphrase().c_str(), &key);
  }
  if (result != 0) crypto.CloseKey();
  return result;
}

// A token key's user ID fills its 24-byte field without a NUL when it is that long.
void CopyUserName(const char* name, size_t max_length) {
  std::memset(CurrentUserName, 0, sizeof CurrentUserName);
  std::memcpy(CurrentUserName, name, std::min(strnlen(name, max_length), sizeof CurrentUserName - 1));
}

const char* VersionOf(const CSigner& signer) {
  return signer.flavour() == SignerFlavour::kComServer ? "1.0.0.111" : "1.0.0.345";
}

}  // namespace

bool Authorize(CSigner& signer) {
  const int64_t now = SignerNow();
  if (MayReuseOpenKey(now)) return true;

  std::memset(CurrentUserName, 0, sizeof CurrentUserName);
  ui::CSignDlgImp dialog(VersionOf(signer));
  // velixhost handles one request a process: an open key never outlives it,
  // so "Ask again" could not be honoured there.
  dialog.SetOffersReask(signer.flavour() == SignerFlavour::kComServer);
  if (dialog.DoModal(ui::CSignDlg::kTemplateId, nullptr) != kDialogOk) {
    signer.set_Error(kErrorCancelled);
    return false;
  }

  const Config& config = Config::Instance();
  // A token whose reader has a PIN pad is opened without a passphrase.
  if ((dialog.KeyPath().empty() && config.eTokenKeySerial == 0) ||
      (dialog.Passphrase().empty() && !dialog.PinPadLogin())) {
    signer.set_Error(kErrorBadInput);
    ShowOperationError(kStringBadInput, kStringError);
    return false;
  }

  ReaskDeadline = dialog.ReaskSeconds();
  if (ReaskDeadline > 0) ReaskDeadline += now;

  const int result = OpenChosenKey(dialog);
  if (result == 0) {
    if (config.KeyType != 0) {
      const KeyHandle& key = CCryptoInitializer::Instance().key();
      CopyUserName(key.user_id, sizeof key.user_id);
    } else {
      CopyUserName(dialog.UserId().c_str(), dialog.UserId().size());
    }
    return true;
  }
  signer.set_Error(1000 - result);
  ShowOperationError(core_error_string_id(result), kStringKeyLoadError);
  return false;
}
