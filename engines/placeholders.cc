// Placeholder registrations until the file-key and token engines land: each
// engine registers as ready with no slots, so every call on it answers
// CORE_E_NOT_SUPPORTED. Each engine's own source replaces its pair here.
#include "core/engine.h"

namespace {
int register_empty(EngineEntry* entry) {
  entry->ready = 1;
  return 0;
}
void reset_empty(EngineEntry* entry) {
  const int16_t id = entry->id;
  *entry = EngineEntry{};
  entry->id = id;
}
}  // namespace

int pkcs11_register(EngineEntry* entry) { return register_empty(entry); }
void pkcs11_reset(EngineEntry* entry) { reset_empty(entry); }
int pkcs11_ext_register(EngineEntry* entry) { return register_empty(entry); }
void pkcs11_ext_reset(EngineEntry* entry) { reset_empty(entry); }
int pkcs11_id_register(EngineEntry* entry) { return register_empty(entry); }
void pkcs11_id_reset(EngineEntry* entry) { reset_empty(entry); }
