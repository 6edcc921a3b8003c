#include "verify/signature_check.h"

#include <cstring>

#include "verify/card_collection.h"

namespace {

// The DER DigestInfo of PKCS #1 that an MD5 signature opens to.
constexpr uint8_t kMd5DigestInfoPrefix[] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                           0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};

}  // namespace

bool signature_opens(const RsaPublicKey& key, const ParsedSignature& signature, const uint8_t digest[kMd5Size]) {
  // The check bytes give a cheap early answer for bytes that were changed.
  if (std::memcmp(signature.check, digest, sizeof signature.check) != 0) return false;
  uint8_t expected[sizeof kMd5DigestInfoPrefix + kMd5Size];
  std::memcpy(expected, kMd5DigestInfoPrefix, sizeof kMd5DigestInfoPrefix);
  std::memcpy(expected + sizeof kMd5DigestInfoPrefix, digest, kMd5Size);
  return key.opens_to(signature.value, signature.value_length, expected, sizeof expected);
}

velix_status check_signature(const velix_cards* cards, const ParsedSignature& signature,
                             const uint8_t digest[kMd5Size], velix_signer_info* info) {
  const auto found = cards->by_serial.find(signature.serial);
  if (found == cards->by_serial.end()) return VELIX_E_CARD_NOT_FOUND;
  const PublicCard& card = found->second;
  std::memcpy(info->user_id, card.user_id, sizeof info->user_id);
  info->modulus_bits = card.key->modulus_bits();
  return signature_opens(*card.key, signature, digest) ? VELIX_OK : VELIX_E_BAD_SIGNATURE;
}
