#include "signer/authorize.h"

#include <algorithm>
#include <cstring>
#include <optional>
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
#include "ui/key_file_id.h"
#include "ui/language.h"
#include "ui/sign_dlg.h"

namespace {

constexpr int kDialogOk = 1;

// A deadline of 0 ("Always", or ChangeUser) never lets the open key be reused.
bool MayReuseOpenKey(int64_t now) {
  if (!CCryptoInitializer::Instance().key_open()) return false;
  return ReaskDeadline < 0 || (ReaskDeadline > 0 && ReaskDeadline > now);
}

// Opens a key file (plain or anchored) into the process's key handle; 0 or a
// negative core code.
int OpenKeyFile(const std::string& path, const std::string& passphrase) {
  KeyHardAnchor anchor;
  return anchor.OpenKeyFile(ENGINE_BUILTIN, path.c_str(), passphrase.c_str(), &CCryptoInitializer::Instance().key());
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
    result = OpenKeyFile(dialog.KeyPath(), dialog.Passphrase());
  }
  if (result != 0) crypto.CloseKey();
  return result;
}

// A token key's user ID fills its 24-byte field without a NUL when it is that long.
void CopyUserName(const char* name, size_t max_length) {
  std::memset(CurrentUserName, 0, sizeof CurrentUserName);
  std::memcpy(CurrentUserName, name, std::min(strnlen(name, max_length), sizeof CurrentUserName - 1));
}

// A key that could not be opened (core code c): Error 1000 - c and the
// message of the code.
bool RefuseKey(CSigner& signer, int code) {
  signer.set_Error(1000 - code);
  ShowOperationError(core_error_string_id(code), kStringKeyLoadError);
  return false;
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
  return RefuseKey(signer, result);
}

bool AuthorizeKeyFile(CSigner& signer, const std::string& path, const std::string& passphrase) {
  std::optional<SignerLockHold> hold = signer.EnterOperation();
  if (!hold) {
    signer.set_Error(kErrorLibraryInUse);
    return false;
  }
  // Headers and messages in the configured language, as the dialog sets it.
  ui::SetThreadUiLanguage(Config::Instance().language);
  std::memset(CurrentUserName, 0, sizeof CurrentUserName);
  if (path.empty() || passphrase.empty()) {
    signer.set_Error(kErrorBadInput);
    ShowOperationError(kStringBadInput, kStringError);
    return false;
  }
  CCryptoInitializer& crypto = CCryptoInitializer::Instance();
  crypto.CloseKey();
  // The AUTH line names the kind of key that signed.
  Config::Instance().KeyType = 0;
  const int result = OpenKeyFile(path, passphrase);
  if (result != 0) {
    crypto.CloseKey();
    return RefuseKey(signer, result);
  }
  const std::string user_id = ui::ReadKeyFileId(path);
  CopyUserName(user_id.c_str(), user_id.size());
  ReaskDeadline = -1;  // kept until the process ends
  return true;
}
