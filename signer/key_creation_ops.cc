// The signer's key creation operations: the folder picker, CreateKeys and the
// public card it leaves behind.
#include <string>

#include "core/crypto.h"
#include "platform/codepage.h"
#include "signer/key_creation.h"
#include "signer/signer.h"
#include "signer/text_argument.h"
#include "ui/dialog_backend.h"
#include "ui/load_string.h"

namespace {

constexpr int kStringKeyManagement = 153;
constexpr size_t kMaxArgumentBytes = 254;  // 255-byte buffers with their NUL

}  // namespace

int32_t CSigner::BrowseForFolder(std::u16string* folder) {
  ui::DialogBackend* backend = ui::ActiveDialogBackend();
  std::string path;
  if (backend == nullptr || !backend->ChooseFolder(ui::LoadResString(kStringKeyManagement), &path)) return 1;
  // Folder names are in the file system's own encoding (UTF-8).
  if (folder != nullptr) *folder = platform::utf8_to_utf16(path);
  return kStatusOk;
}

int32_t CSigner::CreateKeys(std::u16string_view folder, std::u16string_view key_card, std::u16string_view passphrase,
                            int32_t bits, std::u16string* message) {
  std::optional<SignerLockHold> hold = EnterOperation();
  if (!hold) {
    if (message != nullptr) message->clear();
    return kStatusOk;
  }
  // Folder names are in the file system's own encoding (UTF-8).
  const std::string directory =
      platform::utf16_to_code_page(UpToNul(folder), platform::kCodePageUtf8, kMaxArgumentBytes).value_or("");
  const std::string card = AnsiArgument(key_card, kMaxArgumentBytes);
  std::string secret = AnsiArgument(passphrase, kMaxArgumentBytes);
  std::string public_card;
  const std::string failure = CreateKeySet(directory, card, secret, bits, &public_card);
  secure_wipe(secret.data(), secret.size());
  if (!public_card.empty()) {
    public_card_ = platform::ansi_to_utf16(public_card);
  } else if (!failure.empty() && message != nullptr) {
    *message = platform::utf8_to_utf16(failure);
  }
  return kStatusOk;
}

int32_t CSigner::get_PublicCard(std::optional<std::u16string>* card) {
  if (card != nullptr) *card = public_card_;
  return kStatusOk;
}
