#include "engines/pkcs11_module_search.h"

#include <algorithm>
#include <mutex>

#include "engines/engine_log.h"
#include "platform/dynamic_library.h"
#include "platform/file_ops.h"
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
                                               int32_t setting_flags) {
  std::vector<ModuleCandidate> list;
  for (const VendorLibrary& vendor : vendors) add_candidate(list, vendor.file_name, vendor.flags);
  // A relative path would be loaded from whatever folder the program runs in.
  const std::string configured = configured_module(engine_id);
  if (platform::is_absolute_path(configured)) {
    add_candidate(list, configured, setting_flags);
  } else if (!configured.empty()) {
    engines::engine_log(module_setting_name(engine_id) + ": " + configured + ": not an absolute path, not loaded");
  }
  for (const VendorLibrary& vendor : vendors)
    for (const std::string& name : platform::packaged_library_names(vendor.file_name))
      add_candidate(list, name, vendor.flags);
  return list;
}

namespace {

// Loads the candidates in order until one loads; each try goes to the log
// when `report` is set. The result of the last try.
int32_t try_candidates(Context& ctx, const std::vector<ModuleCandidate>& candidates, size_t vendor_tries,
                       bool report, int32_t* status) {
  const std::string engine = engine_name(ctx.flavour);
  int32_t result = kLibraryMissing;
  for (size_t i = 0; i < candidates.size(); ++i) {
    const ModuleCandidate& candidate = candidates[i];
    ctx.library_path = candidate.path;
    ctx.library_flags = candidate.flags;
    result = ctx.flavour == Flavour::kExtended ? load_library_with_extension(ctx, candidate.path.c_str())
                                               : load_library(ctx, candidate.path.c_str());
    if (report) {
      const std::string native = platform::native_library_name(candidate.path.c_str());
      const std::string shown = native == candidate.path ? native : candidate.path + " (" + native + ")";
      engines::engine_log(engine + ": " + shown + ": " + (result == kLoaded ? "loaded" : failure_text(ctx, result)));
    }
    if (result == kLoaded) break;
    if (i < vendor_tries) *status = result;
  }
  return result;
}

void log_no_module(Context& ctx) {
  engines::engine_log(std::string(engine_name(ctx.flavour)) + ": no token module; the engine lists no tokens");
}

bool g_fallback_reported = false;

}  // namespace

int32_t load_first_module(Context& ctx, const std::vector<ModuleCandidate>& candidates, size_t vendor_tries,
                          bool fallback) {
  bool& reported = g_reported[static_cast<int>(ctx.flavour)];
  int32_t status = kLibraryMissing;
  const int32_t result = try_candidates(ctx, candidates, vendor_tries, !reported, &status);
  ctx.fallback_pending = fallback && result != kLoaded && !platform::token_proxy_module_names().empty();
  if (!reported && ctx.fallback_pending)
    engines::engine_log(std::string(engine_name(ctx.flavour)) + ": p11-kit's proxy module is tried at the first use");
  else if (!reported && result != kLoaded)
    log_no_module(ctx);
  reported = true;
  return result == kLoaded ? result : status;
}

void load_pending_fallback(Context& ctx) {
  // Engines may be used from more than one thread (the COM server's).
  static std::mutex mutex;
  const std::lock_guard<std::mutex> lock(mutex);
  if (!ctx.fallback_pending) return;
  ctx.fallback_pending = false;
  std::vector<ModuleCandidate> proxies;
  for (const std::string& name : platform::token_proxy_module_names()) add_candidate(proxies, name, 0);
  const std::string vendor_path = ctx.library_path;
  const int32_t vendor_flags = ctx.library_flags;
  int32_t unused = kLibraryMissing;
  const int32_t result = try_candidates(ctx, proxies, 0, !g_fallback_reported, &unused);
  if (result == kLoaded) {
    if (ctx.owner != nullptr) ctx.owner->status = kLoaded;
    seed_token_generator(ctx);
  } else {
    // A reset tries again what the registration tried last, then the proxy.
    ctx.library_path = vendor_path;
    ctx.library_flags = vendor_flags;
    if (!g_fallback_reported) log_no_module(ctx);
  }
  g_fallback_reported = true;
}

}  // namespace pkcs11
