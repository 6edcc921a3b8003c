// The last step shared by documents and detached signatures: the MD5 of the
// signed bytes and the extras, checked against the signer's card.
#pragma once

#include "core/crypto.h"
#include "verify/signature_block.h"
#include "verify/velixverify.h"

// digest: MD5 over the signed bytes followed by the signature's extras.
velix_status check_signature(const velix_cards* cards, const ParsedSignature& signature,
                             const uint8_t digest[kMd5Size], velix_signer_info* info);
