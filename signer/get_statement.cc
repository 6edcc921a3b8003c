// GetStatement: a signed request for an account statement over a date range.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "core/core.h"
#include "platform/codepage.h"
#include "signer/authorize.h"
#include "settings/config.h"
#include "signer/crypto_initializer.h"
#include "signer/operation_messages.h"
#include "signer/resource_format.h"
#include "signer/signed_text.h"
#include "signer/signer.h"
#include "signer/signer_state.h"
#include "signer/text_argument.h"
#include "ui/state_dlg.h"
#include "ui/text_to_sign.h"

namespace {

constexpr int kStringStatementRequest = 118;
constexpr size_t kMaxDateBytes = 254;
constexpr int kDocumentCapacity = 1024;
constexpr intptr_t kDialogOk = 1;

// The request shows dates with slashes: 01.03.2024 becomes 01/03/2024.
std::u16string WithSlashes(std::u16string date) {
  std::replace(date.begin(), date.end(), u'.', u'/');
  return date;
}

// A date argument as it was given, or empty when it is longer than the date
// field holds (in the ANSI code page, as the field counts).
std::u16string DateArgument(std::u16string_view date) {
  return AnsiArgument(date, kMaxDateBytes).empty() ? std::u16string() : std::u16string(UpToNul(date));
}

}  // namespace

int32_t CSigner::GetStatement(std::u16string_view from, std::u16string_view to, std::u16string* result) {
  // Dates stay as given until the request is formatted, so that none is signed with "?".
  std::u16string from_date = DateArgument(from);
  std::u16string to_date = DateArgument(to);
  std::optional<SignerLockHold> hold = EnterOperation();
  if (result != nullptr) result->clear();
  if (!hold) return kStatusOk;

  if (from_date.empty() || to_date.empty()) {
    ui::CStateDlgImp dates;
    if (dates.DoModal(ui::CStateDlg::kTemplateId, nullptr) != kDialogOk) return kStatusOk;
    from_date = platform::utf8_to_utf16(dates.FromDate());
    to_date = platform::utf8_to_utf16(dates.ToDate());
  }
  // The request as it will be signed, but for the user name, which the chosen
  // key gives; in the dialog's language, which the signed request takes too.
  const ui::TextToSignScope shown_request;
  ui::SetTextToSignLater([&] {
    return FormatResStringIn(kStringStatementRequest, platform::kCodePageUtf8,
                             {u"", WithSlashes(from_date), WithSlashes(to_date)})
        .value_or("");
  });
  if (!Authorize(*this)) return kStatusOk;

  const bool utf8 = Config::Instance().useUtf8 != 0;
  const std::optional<std::string> formatted =
      FormatResStringIn(kStringStatementRequest, SigningCodePage(),
                        {platform::ansi_to_utf16(static_cast<const char*>(CurrentUserName)),
                         WithSlashes(from_date), WithSlashes(to_date)});
  if (!formatted) return RefuseUnrepresentableText(kStringStatementError);
  const std::string& request = *formatted;

  std::vector<char> document(kDocumentCapacity, '\0');
  const int length = core_sign_document(request.c_str(), -1, document.data(), kDocumentCapacity,
                                        &CCryptoInitializer::Instance().key());
  if (length > 0) {
    const std::string_view signed_request(document.data(), static_cast<size_t>(length));
    if (result != nullptr) {
      *result = utf8 ? platform::utf8_to_utf16(signed_request) : platform::ansi_to_utf16(signed_request);
    }
  } else {
    // The output buffer holds nothing useful after a failure: show what the code means.
    ShowCoreError(length, kStringStatementError);
  }
  return kStatusOk;
}
