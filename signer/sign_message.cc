// SignMessage: the message with its header and AUTH line, signed with the open
// key into an "SM" document.
#include <climits>
#include <new>
#include <string>
#include <vector>

#include "core/core.h"
#include "platform/codepage.h"
#include "signer/authorize.h"
#include "settings/config.h"
#include "signer/crypto_initializer.h"
#include "signer/operation_messages.h"
#include "signer/signed_text.h"
#include "signer/signer.h"

namespace {

// Room the "SM" document needs beyond the text: header, name lines, keyword
// lines and the armored signature of the largest key.
constexpr size_t kDocumentOverhead = 1024 + 4096;

}  // namespace

int32_t CSigner::RefuseUnrepresentableText(int caption_id) {
  set_Error(kErrorUnrepresentableText);
  ShowOperationError(kStringUnrepresentableText, caption_id);
  return kStatusOk;
}

int32_t CSigner::SignMessage(std::u16string_view message, std::u16string* result) {
  std::optional<SignerLockHold> hold = EnterSignMessage();
  if (result != nullptr) result->clear();
  if (!hold) return kStatusOk;
  // A message that cannot be signed as written is refused before anyone is asked for a key.
  if (!SignableMessage(message)) return RefuseUnrepresentableText(kStringError);
  if (!Authorize(*this)) return kStatusOk;

  std::string text;
  std::vector<char> document;
  try {
    std::optional<std::string> signable = SignedMessageText(*this, message);
    if (!signable) return RefuseUnrepresentableText(kStringError);
    text = std::move(*signable);
    // The core counts in int: a text it cannot count is treated like memory that is not there.
    if (text.size() > static_cast<size_t>(INT_MAX) - kDocumentOverhead) throw std::bad_alloc();
    document.assign(text.size() + kDocumentOverhead, '\0');
  } catch (const std::bad_alloc&) {
    hold->Release();
    ShowOperationError(kStringInsufficientMemory, kStringError);
    set_Error(kErrorNoMemory);
    return kStatusOk;
  }

  const int signed_length = core_sign_document(text.c_str(), -1, document.data(), static_cast<int>(document.size()),
                                               &CCryptoInitializer::Instance().key());
  if (signed_length > 0) {
    const std::string_view signed_document(document.data(), static_cast<size_t>(signed_length));
    if (result != nullptr) {
      *result = Config::Instance().useUtf8 != 0 ? platform::utf8_to_utf16(signed_document)
                                                : platform::ansi_to_utf16(signed_document);
    }
  } else {
    set_Error(signed_length != 0 ? 1000 - signed_length : kErrorSignFailed);
    ShowCoreError(signed_length, kStringSigningError);
  }
  return kStatusOk;
}
