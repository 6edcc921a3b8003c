// Every signed document the end-to-end tests see must also pass the
// project's own verifier in its strict form: what the signer writes today is
// exactly what servers are told to accept.
#pragma once

#include <string>

// True when libvelixverify, strict, takes the document: fully with the
// card collection's card, or up to the card look-up for any other key.
bool strict_verifier_accepts(const std::string& document, std::string* problem);

// The card collection the check uses: the fixture key's unless a program
// that made its own key set (velix-demo) names that set's collection first.
void use_strict_verifier_cards(const std::string& path);
