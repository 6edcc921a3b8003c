// Authorize: makes sure a key is open and may be used for the next operation.
// The open key is reused while the re-ask deadline allows it; otherwise the
// user picks a key and types the passphrase in the authorization dialog.
#pragma once

#include <string>

class CSigner;

// True when a key is open and may be used. On false the signer's Error says
// why (102 cancelled, 103 no key or passphrase, 1000 - c when the key could not
// be opened) and the user has seen every message there was to see.
bool Authorize(CSigner& signer);

// For programs that ask for the passphrase themselves (the velix tool): opens
// the key file at path (UTF-8) with the passphrase (ANSI code page) as
// Authorize opens the key file the dialog names, and keeps it open for every
// later operation of the process, so that they sign without a dialog. The
// key type becomes "key file" for this process only (nothing is stored). On
// false, Error and the message shown are those of Authorize.
bool AuthorizeKeyFile(CSigner& signer, const std::string& path, const std::string& passphrase);
