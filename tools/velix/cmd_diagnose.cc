// velix diagnose: where things live and what this machine offers.
#include <CLI/CLI.hpp>

#include <cstdlib>
#include <filesystem>

#include <openssl/crypto.h>

#include "core/core.h"
#include "tools/velix/options.h"
#include "tools/velix/report.h"
#include "verify/velixverify.h"

namespace {

// The display a dialog would use, as the environment names it ("" when none);
// velixhost still checks at start that it can really be opened.
std::string named_display() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return std::string(name) + "=" + value;
  }
  return "";
}

std::string config_dir() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (xdg != nullptr && *xdg != '\0') return std::string(xdg) + "/velixcom";
  return std::string(home != nullptr ? home : "") + "/.config/velixcom";
}

Report path_entry(const std::string& what, const std::string& path) {
  Report entry;
  entry.add("what", what).add("path", path).add("exists", std::filesystem::exists(path));
  return entry;
}

}  // namespace

void add_diagnose_command(CLI::App& app, GlobalOptions& options) {
  app.add_subcommand("diagnose", "Where settings and logs live, key files, engines, display, versions")
      ->callback([&options] {
        core_init();
        const char* home_env = std::getenv("HOME");
        const std::string home = home_env != nullptr ? home_env : "";
        ReportList places;
        places.push_back(path_entry("settings (registry hive)", config_dir() + "/HKCU.reg"));
        places.push_back(path_entry("velixhost logs", home + "/velixhost"));
        for (const char* name : {"secret.key", "Public.iks", "pubkeys.key"})
          places.push_back(path_entry(std::string("key file in the home folder: ") + name, home + "/" + name));

        ReportList engines;
        const std::pair<const char*, int16_t> kEngines[] = {
            {"builtin", ENGINE_BUILTIN}, {"openssl", ENGINE_OPENSSL}, {"pkcs11", ENGINE_PKCS11},
            {"cryptoapi", ENGINE_CRYPTOAPI}, {"pkcs11-ext", ENGINE_PKCS11_EXT}, {"pkcs11-id", ENGINE_PKCS11_ID}};
        for (const auto& [name, id] : kEngines) {
          Report engine;
          engine.add("engine", name).add("ready", core_ctrl(id, CTRL_READY) == 1);
          engine.add("status", static_cast<int64_t>(core_ctrl(id, CTRL_LOAD_STATUS)));
          if (id == ENGINE_PKCS11 || id == ENGINE_PKCS11_EXT || id == ENGINE_PKCS11_ID) {
            const int tokens = core_ctrl(id, CTRL_TOKEN_COUNT);
            engine.add("tokens", static_cast<int64_t>(tokens < 0 ? 0 : tokens));
          }
          engines.push_back(std::move(engine));
        }

        Report report;
        report.add("places", std::move(places));
        report.add("engines", std::move(engines));
        report.add("display", named_display());
        report.add("velix", VELIX_VERSION).add("libvelixverify", velix_verify_version());
        report.add("openssl", OpenSSL_version(OPENSSL_VERSION));
        print_report(report, options.json);
      });
}
