#include <climits>
#include <cstring>
#include <new>

#include "core/document.h"
#include "verify/card_collection.h"
#include "verify/digest.h"
#include "verify/library_setup.h"
#include "verify/signature_check.h"
#include "verify/strict_form.h"

namespace {

velix_status verify(const velix_cards* cards, const char* text, size_t length, unsigned flags,
                    velix_signer_info* info) {
  if (length > static_cast<size_t>(INT_MAX)) return VELIX_E_TOO_LARGE;
  if (length == 0) return VELIX_E_DOCUMENT;
  DocumentRecord doc{};
  const int used = read_document(text, static_cast<int>(length), &doc);
  if (used <= 0) return VELIX_E_DOCUMENT;
  info->consumed = static_cast<size_t>(used);
  if (std::strcmp(doc.type, "SM") != 0) return VELIX_E_DOCUMENT_TYPE;
  info->text = doc.data;
  info->text_length = static_cast<size_t>(doc.data_length);

  ParsedSignature signature;
  const velix_status parsed = parse_signature_block(doc.signature, static_cast<size_t>(doc.signature_length),
                                                    kDataSignatureClass, &signature);
  if (parsed != VELIX_OK) return parsed;
  info->serial = signature.serial;
  info->signed_at = signature.time;
  if (doc.serial1 != signature.serial) return VELIX_E_SERIAL_MISMATCH;
  if ((flags & VELIX_LENIENT) == 0) {
    const velix_status form = check_strict_form(text, length, doc, signature);
    if (form != VELIX_OK) return form;
  }

  StackMd5 md5;
  md5.update(doc.data, static_cast<size_t>(doc.data_length));
  md5.update(signature.extras, sizeof signature.extras);
  uint8_t digest[kMd5Size];
  md5.final(digest);
  const velix_status checked = check_signature(cards, signature, digest, info);
  // The signer writes its key's user ID, which the card holds, in name line 1.
  if (checked == VELIX_OK && (flags & VELIX_LENIENT) == 0 && name_line_text(info->user_id) != doc.name1)
    return VELIX_E_NAME_LINES;
  return checked;
}

}  // namespace

extern "C" velix_status velix_verify_document(const velix_cards* cards, const char* document, size_t length,
                                              unsigned flags, velix_signer_info* info) {
  if (cards == nullptr || document == nullptr || info == nullptr) return VELIX_E_ARGS;
  std::memset(info, 0, sizeof *info);
  if ((flags & ~VELIX_LENIENT) != 0) return VELIX_E_ARGS;
  prepare_library();
  try {
    return verify(cards, document, length, flags, info);
  } catch (const std::bad_alloc&) {
    return VELIX_E_NOMEM;
  }
}
