#include <cstring>
#include <memory>
#include <new>

#include "verify/digest.h"
#include "verify/library_setup.h"
#include "verify/signature_check.h"

struct velix_detached {
  ParsedSignature signature;
  StackMd5 md5;
};

extern "C" velix_status velix_detached_begin(const char* signature, size_t signature_length,
                                             velix_detached** check) {
  if (check == nullptr) return VELIX_E_ARGS;
  *check = nullptr;
  if (signature == nullptr) return VELIX_E_ARGS;
  prepare_library();
  try {
    auto begun = std::make_unique<velix_detached>();
    const velix_status parsed =
        parse_signature_block(signature, signature_length, kDataSignatureClass, &begun->signature);
    if (parsed != VELIX_OK) return parsed;
    *check = begun.release();
    return VELIX_OK;
  } catch (const std::bad_alloc&) {
    return VELIX_E_NOMEM;
  }
}

extern "C" velix_status velix_detached_update(velix_detached* check, const void* data, size_t length) {
  if (check == nullptr || (data == nullptr && length != 0)) return VELIX_E_ARGS;
  if (length != 0) check->md5.update(data, length);
  return VELIX_OK;
}

extern "C" velix_status velix_detached_finish(velix_detached* check, const velix_cards* cards,
                                              velix_signer_info* info) {
  std::unique_ptr<velix_detached> owned(check);
  if (check == nullptr || cards == nullptr || info == nullptr) return VELIX_E_ARGS;
  std::memset(info, 0, sizeof *info);
  info->serial = check->signature.serial;
  info->signed_at = check->signature.time;
  check->md5.update(check->signature.extras, sizeof check->signature.extras);
  uint8_t digest[kMd5Size];
  check->md5.final(digest);
  return check_signature(cards, check->signature, digest, info);
}

extern "C" void velix_detached_free(velix_detached* check) { delete check; }

extern "C" velix_status velix_verify_detached(const velix_cards* cards, const char* signature,
                                              size_t signature_length, const void* data, size_t data_length,
                                              velix_signer_info* info) {
  if (cards == nullptr || info == nullptr || (data == nullptr && data_length != 0)) return VELIX_E_ARGS;
  std::memset(info, 0, sizeof *info);
  velix_detached* check = nullptr;
  const velix_status begun = velix_detached_begin(signature, signature_length, &check);
  if (begun != VELIX_OK) return begun;
  if (const velix_status updated = velix_detached_update(check, data, data_length); updated != VELIX_OK) {
    velix_detached_free(check);
    return updated;
  }
  return velix_detached_finish(check, cards, info);
}
