// velix settings: the signer's stored settings under HKCU\Software\VelixCom,
// the per-engine token module paths included.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <limits>

#include "engines/pkcs11_module_search.h"
#include "platform/file_ops.h"
#include "platform/registry.h"
#include "settings/config.h"
#include "tools/velix/exit_codes.h"
#include "tools/velix/options.h"
#include "tools/velix/report.h"

namespace {

// The engines whose module path can be set (ENGINE_PKCS11, ENGINE_PKCS11_EXT, ENGINE_PKCS11_ID).
constexpr int16_t kModuleEngines[] = {2, 5, 6};

const char* const kNumberNames[] = {"KeyIndex", "ReaskIndex", "KeyType", "eTokenKeySerial", "VK"};

bool same_name(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// A number is written in decimal digits alone: no sign, no spaces, nothing
// after it (so "+1", " 7" and "1 " are all refused, the same way).
int64_t parse_number(const std::string& name, const std::string& text, int64_t low, int64_t high) {
  const bool digits = !text.empty() && text.size() <= 18 &&
                      std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  const int64_t value = digits ? std::stoll(text) : -1;
  if (!digits || value < low || value > high)
    throw CommandFailure{kExitBadInput, name + ": not a number from " + std::to_string(low) + " to " +
                                            std::to_string(high) + " (decimal digits only): " + text};
  return value;
}

void set_config_value(Config& config, const std::string& name, const std::string& value) {
  constexpr int64_t kU32 = std::numeric_limits<uint32_t>::max();
  if (name == "KeyIndex") {
    config.KeyIndex = static_cast<uint32_t>(parse_number(name, value, 0, kU32));
    config.MarkChanged(Config::kKeyIndex);
  } else if (name == "ReaskIndex") {
    config.ReaskIndex = static_cast<uint32_t>(parse_number(name, value, 0, kU32));
    config.MarkChanged(Config::kReaskIndex);
  } else if (name == "KeyType") {
    config.KeyType = static_cast<uint8_t>(parse_number(name, value, 0, 1));
    config.MarkChanged(Config::kKeyType);
  } else if (name == "eTokenKeySerial") {
    config.eTokenKeySerial = static_cast<uint32_t>(parse_number(name, value, 0, kU32));
    config.MarkChanged(Config::kTokenSerial);
  } else if (name == "VK") {
    config.VK = static_cast<int32_t>(parse_number(name, value, 0, 1));
    config.MarkChanged(Config::kVK);
  } else {  // tokenName
    config.tokenName = value;
    config.MarkChanged(Config::kTokenName);
  }
  if (!config.Save()) throw CommandFailure{kExitBadInput, "cannot store the settings: " + config.SaveFailure()};
}

// A module path is a REG_SZ; an empty value deletes it (the engine then searches alone).
void set_module_path(const std::string& name, const std::string& path) {
  if (path.find('\0') != std::string::npos) throw CommandFailure{kExitBadInput, name + ": a path has no NUL"};
  // A relative path would be loaded from whatever folder the signer runs in.
  if (!path.empty() && !platform::is_absolute_path(path))
    throw CommandFailure{kExitBadInput, name + ": the module path must be absolute: " + path};
  platform::RegKey key;
  long result = key.Create(platform::RegHive::kCurrentUser, kConfigKeyPath);
  if (result == platform::kRegOk) {
    if (path.empty()) {
      result = key.DeleteValue(name);
      if (result == platform::kRegNotFound) result = platform::kRegOk;
    } else {
      result = key.SetValue(name, platform::kRegSz, path.c_str(), static_cast<uint32_t>(path.size() + 1));
    }
  }
  if (result != platform::kRegOk)
    throw CommandFailure{kExitBadInput, "cannot store " + name + ": " + platform::RegLastFailure()};
}

Report settings_report() {
  Config config;
  Report report;
  report.add("KeyIndex", static_cast<int64_t>(config.KeyIndex))
      .add("ReaskIndex", static_cast<int64_t>(config.ReaskIndex))
      .add("KeyType", static_cast<int64_t>(config.KeyType))
      .add("eTokenKeySerial", static_cast<int64_t>(config.eTokenKeySerial))
      .add("VK", static_cast<int64_t>(config.VK))
      .add("tokenName", config.tokenName);
  for (int16_t engine : kModuleEngines)
    report.add(pkcs11::module_setting_name(engine), pkcs11::configured_module(engine));
  return report;
}

}  // namespace

void add_settings_commands(CLI::App& app, GlobalOptions& options) {
  CLI::App* settings = app.add_subcommand("settings", "The signer's stored settings");
  settings->require_subcommand(1);

  CLI::App* show = settings->add_subcommand("show", "Show the stored settings");
  show->callback([&options] { print_report(settings_report(), options.json); });

  auto name = std::make_shared<std::string>();
  auto value = std::make_shared<std::string>();
  CLI::App* set = settings->add_subcommand(
      "set", "Store one setting: KeyIndex, ReaskIndex, KeyType (0 key file, 1 token), eTokenKeySerial, "
             "VK (0 or 1), tokenName, TokenModule2, TokenModule5, TokenModule6 (an absolute module path; empty "
             "unsets). Numbers are decimal digits only: no sign, no spaces");
  set->add_option("NAME", *name, "The setting's name")->required();
  set->add_option("VALUE", *value, "The new value")->required();
  set->callback([name, value, &options] {
    std::string canonical;
    for (const char* known : kNumberNames)
      if (same_name(*name, known)) canonical = known;
    if (same_name(*name, "tokenName")) canonical = "tokenName";
    for (int16_t engine : kModuleEngines)
      if (same_name(*name, pkcs11::module_setting_name(engine))) canonical = pkcs11::module_setting_name(engine);
    if (canonical.empty()) throw CommandFailure{kExitBadInput, "unknown setting: " + *name};
    if (canonical.compare(0, 11, "TokenModule") == 0) {
      set_module_path(canonical, *value);
    } else {
      Config config;
      set_config_value(config, canonical, *value);
    }
    Report report;
    report.add("set", canonical).add("value", *value);
    print_report(report, options.json);
  });
}
