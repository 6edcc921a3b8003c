// The strict form of a signed document: byte for byte what the signer's
// writer produces for the same text and signature, followed by nothing but
// blanks. Each way of differing has its own status.
#pragma once

#include <cstddef>

#include "core/document.h"
#include "verify/signature_block.h"
#include "verify/velixverify.h"

// input[0, length) is the whole input; doc and signature were read from it.
velix_status check_strict_form(const char* input, size_t length, const DocumentRecord& doc,
                               const ParsedSignature& signature);
