#include "engines/pkcs11_module_search.h"

#include <algorithm>

#include "engines/engine_log.h"
#include "platform/dynamic_library.h"
#include "platform/registry.h"

namespace pkcs11 {
namespace {

constexpr char kSettingsKey[] = "Software\\VelixCom";

const char* engine_name(Flavour flavour) {
  switch (flavour) {
    case Flavour::kStandard: return "ENGINE_PKCS11";
    case Flavour::kExtended: return "ENGINE_PKCS11_EXT";
    case Flavour::kId: return "ENGINE_PKCS11_ID";
  }
  return "?";
}

void add_candidate(std::vector<ModuleCandidate>& list, const std::string& path, int32_t flags) {
  if (path.empty()) return;
  const bool known = std::any_of(list.begin(), list.end(),
                                 [&](const ModuleCandidate& c) { return c.path == path; });
  if (!known) list.push_back({path, flags});
}

std::string failure_text(Context& ctx, int32_t result) {
  switch (result) {
    case kLibraryMissing: {
      const std::string why = platform::last_library_error();
      if (why.find("No such file") != std::string::npos) return "not found";
      return why.empty() ? "cannot be loaded" : "cannot be loaded: " + why;
    }
    case kEntryPointMissing:
      return ctx.flavour == Flavour::kExtended
                 ? "no C_GetFunctionList or no vendor extension C_EX_GetFunctionListExtended"
                 : "no C_GetFunctionList";
    case kFunctionListFailed: return "its function list could not be obtained";
    case kInitializeFailed: return "C_Initialize failed";
    default: return "failed (" + std::to_string(result) + ")";
  }
}

bool g_reported[3] = {};

}  // namespace

std::string module_setting_name(int16_t engine_id) { return "TokenModule" + std::to_string(engine_id); }

std::string configured_module(int16_t engine_id) {
  platform::RegKey key;
  if (key.Open(platform::RegHive::kCurrentUser, kSettingsKey) != platform::kRegOk) return {};
  const std::string name = module_setting_name(engine_id);
  uint32_t type = 0;
  uint32_t size = 0;
  if (key.QueryValue(name, &type, nullptr, &size) != platform::kRegOk) return {};
  if ((type != platform::kRegSz && type != platform::kRegExpandSz) || size == 0) return {};
  std::string text(size, '\0');
  if (key.QueryValue(name, &type, text.data(), &size) != platform::kRegOk) return {};
  text.resize(std::min<size_t>(size, text.size()));
  // The stored text ends at its first NUL, as a REG_SZ does.
  text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
  return text;
}

std::vector<ModuleCandidate> module_candidates(int16_t engine_id, const std::vector<VendorLibrary>& vendors,
                                               int32_t setting_flags, bool with_proxy) {
  std::vector<ModuleCandidate> list;
  for (const VendorLibrary& vendor : vendors) add_candidate(list, vendor.file_name, vendor.flags);
  add_candidate(list, configured_module(engine_id), setting_flags);
  for (const VendorLibrary& vendor : vendors)
    for (const std::string& name : platform::packaged_library_names(vendor.file_name))
      add_candidate(list, name, vendor.flags);
  if (with_proxy)
    for (const std::string& name : platform::token_proxy_module_names()) add_candidate(list, name, 0);
  return list;
}

int32_t load_first_module(Context& ctx, const std::vector<ModuleCandidate>& candidates, size_t vendor_tries) {
  bool& reported = g_reported[static_cast<int>(ctx.flavour)];
  const std::string engine = engine_name(ctx.flavour);
  int32_t result = kLibraryMissing;
  int32_t status = kLibraryMissing;
  for (size_t i = 0; i < candidates.size(); ++i) {
    const ModuleCandidate& candidate = candidates[i];
    ctx.library_path = candidate.path;
    ctx.library_flags = candidate.flags;
    result = ctx.flavour == Flavour::kExtended ? load_library_with_extension(ctx, candidate.path.c_str())
                                               : load_library(ctx, candidate.path.c_str());
    if (!reported) {
      const std::string native = platform::native_library_name(candidate.path.c_str());
      const std::string shown = native == candidate.path ? native : candidate.path + " (" + native + ")";
      engines::engine_log(engine + ": " + shown + ": " + (result == kLoaded ? "loaded" : failure_text(ctx, result)));
    }
    if (result == kLoaded) break;
    if (i < vendor_tries) status = result;
  }
  if (!reported && result != kLoaded) engines::engine_log(engine + ": no token module; the engine lists no tokens");
  reported = true;
  return result == kLoaded ? result : status;
}

}  // namespace pkcs11
