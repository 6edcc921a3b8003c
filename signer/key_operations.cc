// The operations around the open key: Reset forgets it, ChangeUser asks for a
// key again, EditKeys edits the key list. DecryptMessage is not offered.
#include "signer/authorize.h"
#include "signer/crypto_initializer.h"
#include "settings/key_list.h"
#include "signer/signer.h"
#include "signer/signer_state.h"
#include "ui/edit_dlg.h"
#include "ui/settings_messages.h"

int32_t CSigner::Reset() {
  std::optional<SignerLockHold> hold = EnterOperation();
  if (!hold) return kStatusOk;
  // The deadline and the user name stay: with no key open the next operation asks anyway.
  CCryptoInitializer::Instance().CloseKey();
  return kStatusOk;
}

int32_t CSigner::ChangeUser() {
  std::optional<SignerLockHold> hold = EnterOperation();
  if (!hold) return kStatusOk;
  // A deadline of 0 makes Authorize ask even while a key is open.
  ReaskDeadline = 0;
  Authorize(*this);
  return kStatusOk;
}

int32_t CSigner::EditKeys() {
  std::optional<SignerLockHold> hold = EnterOperation();
  if (!hold) return kStatusOk;
  KeyList list;
  list.Load();
  ui::CEditDlgImp dialog;
  dialog.SetKeyList(&list);
  dialog.SetOffersReask(flavour() == SignerFlavour::kComServer);
  dialog.DoModal(ui::CEditDlg::kTemplateId, nullptr);
  // Whatever the dialog's result: entries changed before a Cancel are kept too.
  if (std::string why; !list.Save(&why)) ui::ShowSettingsError(ui::kStringSettingsNotSaved, why);
  return kStatusOk;
}

int32_t CSigner::DecryptMessage(std::u16string_view, int32_t, std::u16string*) { return kStatusNotImplemented; }
