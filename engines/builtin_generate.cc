// ENGINE_BUILTIN key generation: not supported yet. The key generator
// replaces this function; it draws from builtin_random_pool() and hands the
// new keys to builtin_attach_secret_key / builtin_attach_public_key.
#include "engines/builtin.h"

int builtin_generate_keys(KeyHandle*, KeyHandle*, int) { return CORE_E_NOT_SUPPORTED; }
