// Operations whose bodies are being written; each answers E_NOTIMPL until its
// own file replaces it here.
#include "signer/signer.h"

int32_t CSigner::BrowseForFolder(std::u16string*) { return 1; }
int32_t CSigner::CreateKeys(std::u16string_view, std::u16string_view, std::u16string_view, int32_t,
                            std::u16string*) {
  return kStatusNotImplemented;
}
int32_t CSigner::get_PublicCard(std::optional<std::u16string>*) { return kStatusNotImplemented; }
