// Every signed document the end-to-end tests see must also pass the
// project's own verifier in its strict form: what the signer writes today is
// exactly what servers are told to accept.
#pragma once

#include <string>

// True when libvelixverify, strict, takes the document: fully with the
// fixture key's card, or up to the card look-up for any other key.
bool strict_verifier_accepts(const std::string& document, std::string* problem);
