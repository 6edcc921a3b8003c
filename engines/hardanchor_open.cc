// Opening a file key: every file key reaches the core through here.
#include "core/core.h"
#include "engines/hardanchor.h"

int KeyHardAnchor::OpenKeyFile(int16_t engine_id, const char* path, const char* passphrase, KeyHandle* key) {
  if (key == nullptr) return CORE_E_ARGS;
  *key = KeyHandle{};
  const KeyText text = ReadKeyText(path);
  if (!text) return read_error_ != 0 ? read_error_ : CORE_E_FILE_NOT_FOUND;
  return core_open_secret_key(engine_id, text.data(), static_cast<int>(text.length()), passphrase, key);
}
