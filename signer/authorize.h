// Authorize: makes sure a key is open and may be used for the next operation.
// The open key is reused while the re-ask deadline allows it; otherwise the
// user picks a key and types the passphrase in the authorization dialog.
#pragma once

class CSigner;

// True when a key is open and may be used. On false the signer's Error says
// why (102 cancelled, 103 no key or passphrase, 1000 - c when the key could not
// be opened) and the user has seen every message there was to see.
bool Authorize(CSigner& signer);
