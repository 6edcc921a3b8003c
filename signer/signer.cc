#include "signer/signer.h"

#include <cstring>

#include "platform/codepage.h"
#include "platform/ui_language.h"
#include "settings/config.h"
#include "signer/crypto_initializer.h"
#include "signer/operation_messages.h"
#include "signer/text_argument.h"

CSigner::CSigner(SignerFlavour flavour)
    : flavour_(flavour),
      session_(flavour == SignerFlavour::kComServer ? ProcessSession : own_session_),
      session_text_(flavour == SignerFlavour::kComServer ? &ProcessSessionText : &own_session_text_) {
  CCryptoInitializer::Instance().EnsureStarted();
}

int32_t CSigner::get_Session(std::u16string* value) {
  // The text as it was given: the ANSI field would show "?" for what its page cannot hold.
  if (value != nullptr) *value = *session_text_;
  return kStatusOk;
}

namespace {

// Line breaks and control characters (C0, DEL, C1, the line and paragraph
// separators) would start a header line of the sender's choosing.
bool BreaksHeaderLine(std::u16string_view text) {
  for (const char16_t c : text)
    if (c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029) return true;
  return false;
}

}  // namespace

int32_t CSigner::put_Session(std::u16string_view value) {
  header_text_refused_ = BreaksHeaderLine(UpToNul(value));
  if (header_text_refused_) {
    std::memset(session_, 0, kSignerTextSize);
    session_text_->clear();
    set_Error(kErrorHeaderText);
    return kStatusOk;
  }
  // The field holds at most 255 bytes with the NUL.
  const auto ansi = platform::utf16_to_ansi(UpToNul(value), kSignerTextSize - 2);
  std::memset(session_, 0, kSignerTextSize);
  session_text_->clear();
  if (ansi) {
    std::memcpy(session_, ansi->data(), ansi->size());
    *session_text_ = UpToNul(value);
  }
  return kStatusOk;
}

int32_t CSigner::get_Operator(int32_t* value) {
  if (value != nullptr) *value = operator_;
  return kStatusOk;
}

int32_t CSigner::put_Operator(int32_t value) {
  operator_ = value;
  return kStatusOk;
}

int32_t CSigner::get_Customer(int32_t* value) {
  if (value != nullptr) *value = customer_;
  return kStatusOk;
}

int32_t CSigner::put_Customer(int32_t value) {
  customer_ = value;
  return kStatusOk;
}

int32_t CSigner::get_Language(std::u16string* value) {
  if (value != nullptr) *value = Config::Instance().language == platform::kLangEnglish ? u"en" : u"ru";
  return kStatusOk;
}

int32_t CSigner::put_Language(std::u16string_view value) {
  // Only "en" counts: a longer text is not converted whole to learn it is not.
  const auto ansi = platform::utf16_to_ansi(UpToNul(value), 2);
  Config::Instance().language =
      (ansi && *ansi == "en") ? platform::kLangEnglish : platform::kLangRussian;
  return kStatusOk;
}

int32_t CSigner::get_Error(int32_t* value) {
  if (value != nullptr) *value = error_;
  return kStatusOk;
}

int32_t CSigner::get_useUtf8(int32_t* value) {
  if (value == nullptr) return kStatusInvalidArg;
  *value = Config::Instance().useUtf8 != 0 ? -1 : 0;
  return kStatusOk;
}

int32_t CSigner::put_useUtf8(int32_t value) {
  Config::Instance().useUtf8 = value != 0 ? 1 : 0;
  return kStatusOk;
}

int32_t CSigner::get_UseScreenKbd(int32_t* value) {
  if (value == nullptr) return kStatusInvalidArg;
  *value = Config::Instance().VK;
  return kStatusOk;
}

int32_t CSigner::put_UseScreenKbd(int32_t value) {
  Config& config = Config::Instance();
  config.VK = value;
  config.MarkChanged(Config::kVK);  // another process may have stored another value meanwhile
  if (config.Save()) return kStatusOk;
  // Not stored: the property shows what is stored, and the caller learns that it failed.
  config.Reload(Config::kVK);
  return kStatusFail;
}

std::optional<SignerLockHold> CSigner::EnterOperation() {
  if (flavour_ == SignerFlavour::kComServer) return SignerLockHold();
  SignerLock& lock = CCryptoInitializer::Instance().signer_lock();
  if (lock.TryLock()) return SignerLockHold(&lock);
  ShowOperationError(kStringLibraryInUse, kStringError);
  return std::nullopt;
}

std::optional<SignerLockHold> CSigner::EnterSignMessage() {
  error_ = kErrorNone;
  std::optional<SignerLockHold> hold = EnterOperation();
  if (!hold) error_ = kErrorLibraryInUse;
  return hold;
}
