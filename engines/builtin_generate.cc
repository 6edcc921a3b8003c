// ENGINE_BUILTIN key generation: a key pair from the engine's random pool.
#include "core/crypto.h"
#include "core/keygen.h"
#include "engines/builtin.h"

namespace {

constexpr int kMinBits = 508;
constexpr int kMaxBits = 2048;

}  // namespace

int builtin_generate_keys(KeyHandle* secret_key, KeyHandle* public_key, int bits) {
  if (secret_key == nullptr || public_key == nullptr) return CORE_E_ARGS;
  if (bits < kMinBits || bits > kMaxBits) return CORE_E_KEYLEN;
  RsaPrivateKey private_record;
  RsaPublicKey public_record;
  int rc = rsa_generate_keys(bits, builtin_random_pool(), &public_record, &private_record);
  if (rc != 0) {
    rc = rc < 0 ? CORE_E_NOMEM : CORE_E_GENKEY;
  } else if ((rc = builtin_attach_secret_key(secret_key, private_record)) == 0 &&
             (rc = builtin_attach_public_key(public_key, public_record)) != 0) {
    builtin_close_secret_key(secret_key);
  }
  secure_wipe(&private_record, sizeof private_record);
  return rc;
}
