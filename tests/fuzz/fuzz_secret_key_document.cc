// Secret key documents from outside (key files), loaded without and with a
// passphrase: document, armor, packet and certificate readers must stay inside
// their buffers and answer with one of their codes.
#include <cstdlib>
#include <vector>

#include "core/armor.h"
#include "core/core.h"
#include "core/secret_key.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool table_ready = (crc24_init_table(), true);
  (void)table_ready;
  if (size > 1 << 16) return 0;
  std::vector<char> text(data, data + size);  // exact size: a read past it is caught
  text.reserve(1);
  for (const char* passphrase : {static_cast<const char*>(nullptr), "passphrase"}) {
    KeyCertRecord cert{};
    const int rc = load_secret_key_document(text.data(), static_cast<int>(size), passphrase, &cert);
    if (rc > 0 || rc < CORE_E_ARMOR_DECODE) std::abort();
  }
  return 0;
}
