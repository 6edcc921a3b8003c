// The last step shared by documents, detached signatures and card
// certifications: the MD5 of the signed bytes and the extras, checked against
// a key.
#pragma once

#include "core/crypto.h"
#include "verify/rsa_public_key.h"
#include "verify/signature_block.h"
#include "verify/velixverify.h"

// digest: MD5 over the signed bytes followed by the signature's extras.
bool signature_opens(const RsaPublicKey& key, const ParsedSignature& signature, const uint8_t digest[kMd5Size]);

// The same with the signer's card from the collection; fills the user ID and
// the key size into info.
velix_status check_signature(const velix_cards* cards, const ParsedSignature& signature,
                             const uint8_t digest[kMd5Size], velix_signer_info* info);
