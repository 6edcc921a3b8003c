// Where a PKCS#11 engine looks for its module: the vendor libraries it names,
// then a module path stored for the engine in the settings, then the vendor
// names in the forms Linux packages use, and for ENGINE_PKCS11 at last
// p11-kit's proxy module, which offers every module registered with p11-kit
// (tried at the engine's first use).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engines/pkcs11_context.h"

namespace pkcs11 {

struct ModuleCandidate {
  std::string path;
  int32_t flags;
};

struct VendorLibrary {
  const char* file_name;
  int32_t flags;
};

// The value under HKCU\Software\VelixCom that names an engine's module:
// "TokenModule" followed by the engine id (TokenModule2, TokenModule5, TokenModule6).
std::string module_setting_name(int16_t engine_id);
// That value's text (REG_SZ, a path), or empty when it is not set.
std::string configured_module(int16_t engine_id);

// Every module to try, in order, without repeats. `first` are the vendor
// libraries tried before the setting (their own forms only); the packaged
// forms of `vendors` follow the setting.
std::vector<ModuleCandidate> module_candidates(int16_t engine_id, const std::vector<VendorLibrary>& vendors,
                                               int32_t setting_flags);

// Loads the candidates in order until one loads (with the vendor extension
// when the engine needs it), recording each one's path and flags in the
// context as it is tried. The first search of each engine in a process is
// written to the engine log, one line a try. The result: 0, or when nothing
// loads the result of the last of the first `vendor_tries` candidates (the
// engine's own vendor libraries), as the engine has always reported it.
// When `fallback` is set and nothing loads, the search is not over: the
// context is marked to try p11-kit's proxy at its first use.
int32_t load_first_module(Context& ctx, const std::vector<ModuleCandidate>& candidates, size_t vendor_tries,
                          bool fallback = false);

// Tries p11-kit's proxy if the context is marked for it (once); on success
// the owner's status becomes 0 and the token's generator is seeded. The tries
// go to the engine log the first time in a process, like the search's.
void load_pending_fallback(Context& ctx);

}  // namespace pkcs11
