#include "verify/strict_form.h"

#include <cstring>
#include <string>
#include <string_view>

#include "core/armor.h"

namespace {

// Header line, its break and the two name lines with theirs.
constexpr size_t kHeaderEnd = 36;
constexpr size_t kNameLinesEnd = 38 + 2 * 30;
constexpr size_t kTotalFieldSize = 8;

bool only_blanks(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (text[i] != ' ' && text[i] != '\t' && text[i] != '\r' && text[i] != '\n') return false;
  return true;
}

// Where input and the signer's document first differ, told by region.
velix_status classify(std::string_view input, std::string_view signer) {
  const size_t size = signer.size();
  if (input.size() >= size && input.substr(kTotalFieldSize, size - kTotalFieldSize) == signer.substr(kTotalFieldSize))
    return VELIX_E_TOTAL_FIELD;
  if (input.size() >= kNameLinesEnd && input.compare(kHeaderEnd, 2, signer, kHeaderEnd, 2) == 0 &&
      input.compare(kHeaderEnd + 2, kNameLinesEnd - kHeaderEnd - 2, signer, kHeaderEnd + 2,
                    kNameLinesEnd - kHeaderEnd - 2) != 0)
    return VELIX_E_NAME_LINES;
  return VELIX_E_LAYOUT;
}

}  // namespace

velix_status check_strict_form(const char* input, size_t length, const DocumentRecord& doc,
                               const ParsedSignature& signature) {
  if (doc.version != 1) return VELIX_E_VERSION;
  if (doc.plain_length != doc.data_length) return VELIX_E_PLAIN_LENGTH;

  // The signature block as the signer armors the same packets.
  char armor[2 * kMaxSignatureBlock];
  const int armor_length = armor_encode(signature.packets, static_cast<int>(signature.packets_length), armor,
                                        static_cast<int>(sizeof armor));
  if (armor_length <= 0) return VELIX_E_ARMOR_LAYOUT;
  if (static_cast<size_t>(armor_length) != static_cast<size_t>(doc.signature_length) ||
      std::memcmp(armor, doc.signature, static_cast<size_t>(armor_length)) != 0)
    return VELIX_E_ARMOR_LAYOUT;

  // The document the signer writes for this text and signature: its own
  // name line 1 and an empty name line 2.
  DocumentRecord own{};
  own.version = 1;
  std::memcpy(own.type, doc.type, sizeof own.type);
  std::memcpy(own.name1, doc.name1, sizeof own.name1);
  own.serial1 = doc.serial1;
  own.data = doc.data;
  own.data_length = doc.data_length;
  own.plain_length = doc.data_length;
  own.signature = armor;
  own.signature_length = armor_length;
  std::string signer(static_cast<size_t>(doc.data_length) + static_cast<size_t>(armor_length) + 256, '\0');
  const int signer_length = write_document(signer.data(), static_cast<int>(signer.size()), &own);
  if (signer_length <= 0) return VELIX_E_LAYOUT;  // fields the writer cannot hold
  signer.resize(static_cast<size_t>(signer_length));

  if (length >= signer.size() && std::memcmp(input, signer.data(), signer.size()) == 0)
    return only_blanks(input + signer.size(), length - signer.size()) ? VELIX_OK : VELIX_E_TRAILING_DATA;
  return classify(std::string_view(input, length), signer);
}
