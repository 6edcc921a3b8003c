#include "signer/signed_text.h"

#include "platform/codepage.h"
#include "signer/auth_line.h"
#include "settings/config.h"
#include "signer/crypto_initializer.h"
#include "signer/resource_format.h"
#include "signer/signer.h"
#include "signer/signer_state.h"
#include "signer/text_argument.h"

namespace {

constexpr int kStringSessionHeader = 114;
constexpr int kStringCustomerHeader = 115;

}  // namespace

std::string MessageHeader(CSigner& signer) {
  if (signer.Operator() != 0) {
    char packet[16], command[16];
    std::snprintf(packet, sizeof packet, "%.6i", PacketCounter++);
    std::snprintf(command, sizeof command, "%.6i", CommandNumber);
    return FormatResString(kStringSessionHeader, signer.session_field(), packet, command,
                           static_cast<const char*>(CurrentUserName));
  }
  if (signer.Customer() != 0) {
    return FormatResString(kStringCustomerHeader, static_cast<const char*>(CurrentUserName));
  }
  return std::string();
}

std::string SignedMessageText(CSigner& signer, std::u16string_view message) {
  const Config& config = Config::Instance();
  const bool utf8 = config.useUtf8 != 0;
  std::string text = MessageHeader(signer);
  if (utf8) {
    text = platform::convert_code_page(text, platform::ansi_code_page(), platform::kCodePageUtf8).value_or("");
  }
  // The buffer grows with the converted message: a message whose UTF-8 form
  // is longer than its UTF-16 form is signed whole.
  const std::u16string_view body = UpToNul(message);
  text += utf8 ? platform::utf16_to_utf8(body) : platform::utf16_to_ansi(body).value_or("");
  if (text.empty() || text.back() != '\n') text += "\r\n";
  text += AuthLine(config.digestPrefix, config.KeyType, text, CCryptoInitializer::Instance().key().serial);
  return text;
}
