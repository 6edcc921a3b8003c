// SignMessage: the message with its header and AUTH line, signed with the open
// key into an "SM" document.
#include <climits>
#include <new>
#include <string>

#include "core/core.h"
#include "platform/codepage.h"
#include "signer/authorize.h"
#include "signer/crypto_initializer.h"
#include "signer/operation_messages.h"
#include "signer/signed_text.h"
#include "signer/signer.h"
#include "ui/text_to_sign.h"

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
  unsigned code_page = 0;
  const std::string document = SignedDocument(message, nullptr, &code_page);
  if (result != nullptr) *result = document.empty() ? std::u16string() : platform::code_page_to_utf16(document, code_page);
  return kStatusOk;
}

int32_t CSigner::SignMessageUtf8(std::u16string_view message, const std::function<void()>& message_done,
                                 std::string* document) {
  unsigned code_page = 0;
  std::string signed_document = SignedDocument(message, message_done, &code_page);
  if (code_page != platform::kCodePageUtf8 && !signed_document.empty())
    signed_document = platform::convert_code_page(signed_document, code_page, platform::kCodePageUtf8).value_or("");
  if (document != nullptr) *document = std::move(signed_document);
  return kStatusOk;
}

// A message near the browser's 1 MiB limit must be signed with little beyond
// it: it is converted once, the caller lets its own copy go, and the text grows
// around the converted message into the one buffer the core signs.
std::string CSigner::SignedDocument(std::u16string_view message, const std::function<void()>& message_done,
                                    unsigned* code_page) {
  std::optional<SignerLockHold> hold = EnterSignMessage();
  if (!hold) return {};
  if (header_text_refused_) {
    set_Error(kErrorHeaderText);
    ShowOperationError(kStringHeaderText, kStringError);
    return {};
  }
  const auto out_of_memory = [&] {
    hold->Release();
    ShowOperationError(kStringInsufficientMemory, kStringError);
    set_Error(kErrorNoMemory);
    return std::string();
  };

  *code_page = SigningCodePage();
  std::string text;
  try {
    std::optional<std::string> converted = SignableMessage(message, *code_page);
    if (message_done) message_done();
    // A message that cannot be signed as written is refused before anyone is asked for a key.
    if (!converted) {
      RefuseUnrepresentableText(kStringError);
      return {};
    }
    text = std::move(*converted);
  } catch (const std::bad_alloc&) {
    return out_of_memory();
  }
  // The user sees exactly the message that will be signed before giving the key.
  const ui::TextToSignScope shown_text;
  ui::SetTextToSign(*code_page == platform::kCodePageUtf8
                        ? text
                        : platform::convert_code_page(text, *code_page, platform::kCodePageUtf8).value_or(""));
  if (!Authorize(*this)) return {};

  std::string document;
  try {
    if (!CompleteSignedText(*this, *code_page, &text)) {
      RefuseUnrepresentableText(kStringError);
      return {};
    }
    // The core counts in int: a text it cannot count is treated like memory that is not there.
    if (text.size() > static_cast<size_t>(INT_MAX) - kDocumentOverhead) throw std::bad_alloc();
    document.resize(text.size() + kDocumentOverhead);
  } catch (const std::bad_alloc&) {
    return out_of_memory();
  }

  const int signed_length = core_sign_document(text.c_str(), -1, document.data(), static_cast<int>(document.size()),
                                               &CCryptoInitializer::Instance().key());
  if (signed_length > 0) {
    document.resize(static_cast<size_t>(signed_length));
    return document;
  }
  set_Error(signed_length != 0 ? 1000 - signed_length : kErrorSignFailed);
  ShowCoreError(signed_length, kStringSigningError);
  return {};
}
