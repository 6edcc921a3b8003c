// A registered engine table and keys opened through an engine's slots.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "core/core.h"
#include "core/engine.h"
#include "tests/support/test_keys.h"

using Bytes = std::vector<uint8_t>;

// An open key that is closed through the core when the test ends.
struct OpenKey {
  KeyHandle handle{};
  OpenKey() = default;
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  ~OpenKey() {
    if (handle.kind != KEY_KIND_EMPTY) core_close_key(&handle);
  }
  KeyHandle* operator->() { return &handle; }
  KeyHandle* get() { return &handle; }
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { core_init(); }
  void TearDown() override { core_done(); }

  static EngineEntry& engine(int16_t id) { return g_engine_table[id]; }

  // Opens a record in an engine the way the core does: the handle carries
  // engine id, kind and serial before the slot runs.
  static int open(int16_t id, uint16_t kind, const KeyCertRecord& record, OpenKey& key) {
    key.handle = KeyHandle{};
    key.handle.engine_id = id;
    key.handle.kind = kind;
    key.handle.serial = record.serial;
    return kind == KEY_KIND_SECRET ? engine(id).open_secret_key(&record, key.get())
                                   : engine(id).open_public_key(&record, key.get());
  }
};

// The MD5 DigestInfo of some digest: what the signing path signs.
inline Bytes md5_digest_info(uint8_t seed = 0xA0) {
  Bytes info = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
  for (int i = 0; i < 16; ++i) info.push_back(static_cast<uint8_t>(seed + i));
  return info;
}
