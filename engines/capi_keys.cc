// ENGINE_CRYPTOAPI: opening and closing keys. Each open imports the key into
// a new container of the user's key store; each close, and every failure
// after the container was made, deletes it again, so that no key material is
// left in the store.
#include <algorithm>
#include <atomic>
#include <iterator>
#include <new>

#include "core/crypto.h"
#include "engines/builtin.h"
#include "engines/capi.h"

namespace cryptoapi = platform::cryptoapi;

namespace {

// Counts every open of a key, secret or public, from process start.
std::atomic<unsigned long> g_open_counter{0};

// A zeroed key blob that is wiped when it goes.
class KeyBlob {
 public:
  explicit KeyBlob(size_t size) : data_(new (std::nothrow) uint8_t[size]()), size_(size) {}
  ~KeyBlob() {
    if (data_ != nullptr) secure_wipe(data_, size_);
    delete[] data_;
  }
  KeyBlob(const KeyBlob&) = delete;
  KeyBlob& operator=(const KeyBlob&) = delete;
  uint8_t* data() { return data_; }
  size_t size() const { return size_; }

 private:
  uint8_t* data_;
  size_t size_;
};

// A handle of ENGINE_BUILTIN opened on the record for the length of a scope:
// it checks that the primes multiply out and gives the prime exponents.
class BuiltinKey {
 public:
  explicit BuiltinKey(const KeyCertRecord* cert) {
    handle_.engine_id = ENGINE_BUILTIN;
    handle_.kind = KEY_KIND_SECRET;
    opened_ = builtin_open_secret_key(cert, &handle_) == 0;
  }
  ~BuiltinKey() { builtin_close_secret_key(&handle_); }
  BuiltinKey(const BuiltinKey&) = delete;
  BuiltinKey& operator=(const BuiltinKey&) = delete;
  const RsaPrivateKey* record() { return opened_ ? &builtin_secret_key(&handle_)->record : nullptr; }

 private:
  KeyHandle handle_{};
  bool opened_ = false;
};

void forget_container(cryptoapi::Handle provider, const char* name) {
  cryptoapi::release_provider(provider);
  cryptoapi::delete_container(name);
}

// Imports a filled blob into the container and attaches the CapiKey.
int import_into(cryptoapi::Handle provider, const char (&name)[kCapiContainerNameSize], KeyBlob& blob,
                size_t k, KeyHandle* key) {
  const cryptoapi::Handle imported = cryptoapi::import_key(provider, blob.data(), blob.size());
  if (imported == 0) {
    forget_container(provider, name);
    return CORE_E_INVALID_KEY;
  }
  auto* capi = new (std::nothrow) CapiKey{provider, imported, static_cast<uint32_t>(k), {}};
  if (capi == nullptr) {
    cryptoapi::destroy_key(imported);
    forget_container(provider, name);
    return CORE_E_NOMEM;
  }
  static_assert(sizeof capi->container == sizeof name);
  std::copy(std::begin(name), std::end(name), capi->container);
  key->engine_data = capi;
  return 0;
}

// The next container name for a key with this serial.
void next_container_name(uint32_t serial, char (&name)[kCapiContainerNameSize]) {
  capi_container_name(serial, ++g_open_counter, cryptoapi::current_thread_id(), name);
}

}  // namespace

int capi_open_secret_key(const KeyCertRecord* cert, KeyHandle* key) {
  if (cert == nullptr || key == nullptr) return CORE_E_ARGS;
  char name[kCapiContainerNameSize];
  next_container_name(cert->serial, name);
  const size_t k = capi_modulus_bytes(*cert);
  if (k == 0) return CORE_E_INVALID_KEY;
  KeyBlob blob(capi_private_blob_size(k));
  if (blob.data() == nullptr) return CORE_E_NOMEM;
  BuiltinKey checked(cert);
  const RsaPrivateKey* record = checked.record();
  if (record == nullptr) return CORE_E_INVALID_KEY;
  const cryptoapi::Handle provider = cryptoapi::create_container(name);
  if (provider == 0) return CORE_E_INVALID_KEY;
  capi_fill_private_blob(*cert, *record, k, blob.data());
  return import_into(provider, name, blob, k, key);
}

int capi_open_public_key(const KeyCertRecord* cert, KeyHandle* key) {
  if (cert == nullptr || key == nullptr) return CORE_E_ARGS;
  char name[kCapiContainerNameSize];
  next_container_name(cert->serial, name);
  const size_t k = capi_modulus_bytes(*cert);
  if (k == 0) return CORE_E_INVALID_KEY;
  KeyBlob blob(capi_public_blob_size(k));
  if (blob.data() == nullptr) return CORE_E_NOMEM;
  const cryptoapi::Handle provider = cryptoapi::create_container(name);
  if (provider == 0) return CORE_E_INVALID_KEY;
  capi_fill_public_blob(*cert, k, blob.data());
  return import_into(provider, name, blob, k, key);
}

int capi_close_key(KeyHandle* key) {
  if (key == nullptr || key->engine_data == nullptr) return 0;
  auto* capi = static_cast<CapiKey*>(key->engine_data);
  cryptoapi::destroy_key(capi->key);
  forget_container(capi->provider, capi->container);
  secure_wipe(capi, sizeof *capi);
  delete capi;
  key->engine_data = nullptr;
  return 0;
}
