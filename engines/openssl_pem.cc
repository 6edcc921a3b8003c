// ENGINE_OPENSSL PEM commands. Secret keys are written as "RSA PRIVATE KEY"
// (triple DES under a non-empty passphrase), public keys as "PUBLIC KEY";
// public keys are read in the "RSA PUBLIC KEY" form.
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstring>
#include <memory>

#include "engines/openssl.h"

namespace {

struct BioDeleter {
  void operator()(BIO* bio) const { BIO_free(bio); }  // a memory BIO clears its buffer
};
using BioPtr = std::unique_ptr<BIO, BioDeleter>;

bool has_text(const char* text) { return text != nullptr && text[0] != '\0'; }

// Supplies an empty password so that OpenSSL never prompts.
int empty_password(char*, int, int, void*) { return 0; }

}  // namespace

int openssl_export_pem(KeyHandle* key, const char* passphrase, char* out, int out_size) {
  if (key == nullptr || key->engine_id != ENGINE_OPENSSL || key->engine_data == nullptr || out == nullptr ||
      out_size <= 0)
    return CORE_E_INVALID_KEY;
  RSA* rsa = static_cast<RSA*>(key->engine_data);
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio) return CORE_E_NOMEM;
  int written = 0;
  if (key->kind == KEY_KIND_SECRET) {
    const bool encrypt = has_text(passphrase);
    written = PEM_write_bio_RSAPrivateKey(
        bio.get(), rsa, encrypt ? EVP_des_ede3_cbc() : nullptr,
        encrypt ? reinterpret_cast<unsigned char*>(const_cast<char*>(passphrase)) : nullptr,
        encrypt ? static_cast<int>(std::strlen(passphrase)) : 0, nullptr, nullptr);
  } else if (key->kind == KEY_KIND_PUBLIC) {
    written = PEM_write_bio_RSA_PUBKEY(bio.get(), rsa);
  }
  if (written != 1) return CORE_E_INVALID_KEY;
  char* text = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &text);
  if (length < 0 || length >= out_size) return CORE_E_NOMEM;  // room for the NUL is required
  std::memcpy(out, text, static_cast<size_t>(length));
  out[length] = '\0';
  return 0;
}

int openssl_import_pem(KeyHandle* key, const char* passphrase, const char* pem, int length) {
  openssl_prepare_before_first_use();
  if (key == nullptr || key->engine_id != ENGINE_OPENSSL || pem == nullptr) return CORE_E_INVALID_KEY;
  BioPtr bio(BIO_new_mem_buf(pem, length > 0 ? length : -1));
  if (!bio) return CORE_E_NOMEM;
  RSA* rsa = nullptr;
  if (key->kind == KEY_KIND_PUBLIC) {
    rsa = PEM_read_bio_RSAPublicKey(bio.get(), nullptr, empty_password, nullptr);
  } else if (key->kind == KEY_KIND_SECRET) {
    if (has_text(passphrase))
      rsa = PEM_read_bio_RSAPrivateKey(bio.get(), nullptr, nullptr, const_cast<char*>(passphrase));
    else
      rsa = PEM_read_bio_RSAPrivateKey(bio.get(), nullptr, empty_password, nullptr);
  }
  if (rsa == nullptr) return CORE_E_INVALID_KEY;
  RSA_free(static_cast<RSA*>(key->engine_data));  // a key the handle held before
  key->engine_data = rsa;
  return 0;
}
