// Secret key documents ("NM"): a document whose data block is the armored
// secret key certificate and its user ID, protected by the user's passphrase.
#pragma once

#include "core/keycert.h"

// Reads an "NM" document (length < 0: NUL-terminated) into cert, deciphering
// the secret numbers with the passphrase; the user ID is the document's first
// name. Returns 0 or an error code; on failure cert is wiped.
int load_secret_key_document(const char* text, int length, const char* passphrase, KeyCertRecord* cert);
