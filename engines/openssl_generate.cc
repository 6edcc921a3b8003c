// ENGINE_OPENSSL key generation: not supported yet. The key generator
// replaces this function; the secret handle's engine data becomes the new
// RSA object and the public handle's a copy holding only n and e.
#include "engines/openssl.h"

int openssl_generate_keys(KeyHandle*, KeyHandle*, int) { return CORE_E_NOT_SUPPORTED; }
