#include "signer/signed_text.h"

#include <cstdio>

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

// Room for the line break and the AUTH line after the message.
constexpr size_t kTailRoom = 64;

std::u16string Digits(int32_t number) {
  char text[16];
  std::snprintf(text, sizeof text, "%.6i", number);
  return platform::ansi_to_utf16(text);
}

}  // namespace

unsigned SigningCodePage() {
  return Config::Instance().useUtf8 != 0 ? platform::kCodePageUtf8 : platform::ansi_code_page();
}

std::optional<std::string> SignableMessage(std::u16string_view message, unsigned code_page) {
  const std::u16string_view body = UpToNul(message);
  if (code_page == platform::kCodePageUtf8) return platform::utf16_to_utf8(body);
  return platform::utf16_to_code_page_exact(body, code_page);
}

std::optional<std::string> MessageHeader(CSigner& signer, unsigned code_page) {
  // The user ID comes from the key, in the ANSI code page.
  const std::u16string user = platform::ansi_to_utf16(static_cast<const char*>(CurrentUserName));
  if (signer.Operator() != 0) {
    std::optional<std::string> header = FormatResStringIn(
        kStringSessionHeader, code_page, {signer.session_text(), Digits(PacketCounter), Digits(CommandNumber), user});
    if (header) ++PacketCounter;
    return header;
  }
  if (signer.Customer() != 0) return FormatResStringIn(kStringCustomerHeader, code_page, {user});
  return std::string();
}

bool CompleteSignedText(CSigner& signer, unsigned code_page, std::string* text) {
  const Config& config = Config::Instance();
  const std::optional<std::string> header = MessageHeader(signer, code_page);
  if (!header) return false;
  // One allocation of the final size: a long message is not copied twice.
  text->reserve(header->size() + text->size() + kTailRoom);
  text->insert(0, *header);
  if (text->empty() || text->back() != '\n') *text += "\r\n";
  *text += AuthLine(config.digestPrefix, config.KeyType, *text, CCryptoInitializer::Instance().key().serial);
  return true;
}
