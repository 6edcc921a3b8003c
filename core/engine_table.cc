// The engine table: registration, teardown, and the checks made before a
// call is routed to an engine.
#include <cstring>

#include "core/armor.h"
#include "core/engine.h"

EngineEntry g_engine_table[ENGINE_COUNT];

namespace {

struct EngineRegistration {
  int16_t id;
  int (*register_fn)(EngineEntry*);
  void (*reset_fn)(EngineEntry*);
};

// Registration and teardown both run in this order.
constexpr EngineRegistration kEngines[] = {
    {ENGINE_BUILTIN, builtin_register, builtin_reset},
    {ENGINE_OPENSSL, openssl_register, openssl_reset},
    {ENGINE_PKCS11, pkcs11_register, pkcs11_reset},
    {ENGINE_PKCS11_EXT, pkcs11_ext_register, pkcs11_ext_reset},
    {ENGINE_PKCS11_ID, pkcs11_id_register, pkcs11_id_reset},
    {ENGINE_CRYPTOAPI, capi_register, capi_reset},
};

void clear_table() { std::memset(g_engine_table, 0, sizeof g_engine_table); }

// The id is compared unsigned so that negative ids fail too.
bool valid_engine_id(int16_t id) {
  return static_cast<uint16_t>(id) < static_cast<uint16_t>(ENGINE_COUNT);
}

}  // namespace

int core_route_check(int16_t engine_id, const void* slot) {
  if (!valid_engine_id(engine_id)) return CORE_E_ENGINE;
  if (g_engine_table[engine_id].ready == 0) return CORE_E_NOT_READY;
  if (slot == nullptr) return CORE_E_NOT_SUPPORTED;
  return 0;
}

EngineEntry* core_engine(int16_t engine_id) {
  return valid_engine_id(engine_id) ? &g_engine_table[engine_id] : nullptr;
}

int core_init() {
  clear_table();
  crc24_init_table();
  for (const auto& engine : kEngines) {
    g_engine_table[engine.id].id = engine.id;
    engine.register_fn(&g_engine_table[engine.id]);
  }
  return 0;
}

int core_done() {
  for (const auto& engine : kEngines) engine.reset_fn(&g_engine_table[engine.id]);
  clear_table();
  return 0;
}

int core_ctrl(int16_t engine_id, int command, ...) {
  if (!valid_engine_id(engine_id)) return CORE_E_ENGINE;
  const EngineEntry& entry = g_engine_table[engine_id];
  if (command == CTRL_READY) return entry.ready != 0 ? 1 : 0;
  if (command == CTRL_LOAD_STATUS) return entry.status;
  if (entry.ctrl == nullptr) return CORE_E_NOT_SUPPORTED;
  va_list args;
  va_start(args, command);
  const int result = entry.ctrl(command, args);
  va_end(args);
  return result;
}

namespace {

int open_key_by_serial(int16_t engine_id, uint32_t serial, KeyHandle* key, uint16_t kind) {
  if (key == nullptr) return CORE_E_ARGS;
  std::memset(key, 0, sizeof *key);
  EngineEntry* entry = core_engine(engine_id);
  EngineOpenKeyFn open = nullptr;
  if (entry != nullptr) open = kind == KEY_KIND_SECRET ? entry->open_secret_key : entry->open_public_key;
  if (const int check = core_route_check(engine_id, reinterpret_cast<const void*>(open)); check != 0)
    return check;
  KeyCertRecord cert{};
  cert.serial = serial;
  key->serial = serial;
  key->kind = kind;
  key->engine_id = engine_id;
  // A failed open leaves an empty handle, not one that names a key.
  const int result = open(&cert, key);
  if (result != 0) std::memset(key, 0, sizeof *key);
  return result;
}

}  // namespace

int core_open_secret_key_by_serial(int16_t engine_id, uint32_t serial, KeyHandle* key) {
  return open_key_by_serial(engine_id, serial, key, KEY_KIND_SECRET);
}

int core_open_public_key_by_serial(int16_t engine_id, uint32_t serial, KeyHandle* key) {
  return open_key_by_serial(engine_id, serial, key, KEY_KIND_PUBLIC);
}

int core_close_key(KeyHandle* key) {
  if (key == nullptr) return CORE_E_ARGS;
  // A failed close still clears the handle, except when the close slot is empty.
  int result;
  if (!valid_engine_id(key->engine_id)) {
    result = CORE_E_ENGINE;
  } else if (g_engine_table[key->engine_id].ready == 0) {
    result = CORE_E_NOT_READY;
  } else if (key->kind == KEY_KIND_SECRET || key->kind == KEY_KIND_PUBLIC) {
    const EngineEntry& entry = g_engine_table[key->engine_id];
    EngineCloseKeyFn close = key->kind == KEY_KIND_SECRET ? entry.close_secret_key : entry.close_public_key;
    if (close == nullptr) return CORE_E_NOT_SUPPORTED;  // the handle stays as it is
    result = close(key);
  } else {
    result = CORE_E_INVALID_KEY;
  }
  std::memset(key, 0, sizeof *key);
  return result;
}
