// Opens the fixture key into the signer's open key, so the benchmarks time
// signing alone: the open key is reused and no dialog is shown.
#pragma once

#include <cstdio>
#include <filesystem>

#include "core/core.h"
#include "engines/hardanchor.h"
#include "signer/crypto_initializer.h"
#include "signer/signer_state.h"

inline bool OpenFixtureKeyForSigner(const std::filesystem::path& fixture) {
  KeyHandle& key = CCryptoInitializer::Instance().key();
  KeyHardAnchor anchor;
  if (anchor.OpenKeyFile(ENGINE_BUILTIN, fixture.string().c_str(), "velix-test", &key) != 0) {
    std::fprintf(stderr, "the fixture key did not open\n");
    return false;
  }
  ReaskDeadline = -1;
  return true;
}
