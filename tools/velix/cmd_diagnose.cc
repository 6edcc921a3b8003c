// velix diagnose: where things live and what this machine offers, told so
// that someone new to velix sees what is missing and what to do about it.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include <openssl/crypto.h>

#include "core/core.h"
#include "engines/engine_log.h"
#include "platform/codepage.h"
#include "platform/display.h"
#include "platform/registry.h"
#include "settings/config.h"
#include "settings/digest_prefix.h"
#include "tools/velix/options.h"
#include "tools/velix/report.h"
#include "verify/velixverify.h"

namespace {

// The token engines' lines on which modules they tried (kept by the engines
// until a sink takes them).
std::vector<std::string> g_engine_lines;
void keep_engine_line(const std::string& line) { g_engine_lines.push_back(line); }

bool exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

std::string home() {
  const char* value = std::getenv("HOME");
  return value != nullptr ? value : "";
}

struct Line {
  std::string name;
  std::string value;
};

struct EngineFacts {
  const char* name;
  int16_t id;
  const char* setting;   // the module path setting; nullptr for engines without modules
  const char* log_name;  // how the engine names itself in its lines on modules
};

constexpr EngineFacts kEngines[] = {
    {"builtin", ENGINE_BUILTIN, nullptr, nullptr},
    {"openssl", ENGINE_OPENSSL, nullptr, nullptr},
    {"pkcs11", ENGINE_PKCS11, "TokenModule2", "ENGINE_PKCS11"},
    {"cryptoapi", ENGINE_CRYPTOAPI, nullptr, nullptr},
    {"pkcs11-ext", ENGINE_PKCS11_EXT, "TokenModule5", "ENGINE_PKCS11_EXT"},
    {"pkcs11-id", ENGINE_PKCS11_ID, "TokenModule6", "ENGINE_PKCS11_ID"}};

// What a token engine tried: "<module>: loaded" or "<module>: <why not>".
std::vector<std::string> tries_of(const std::string& log_name) {
  std::vector<std::string> tries;
  const std::string prefix = log_name + ": ";
  // Lines that are no try: after the last try that failed, and before the
  // proxy's tries, which wait for the engine's first use.
  const std::string summaries[] = {"no token module", "p11-kit's proxy module is tried"};
  for (const std::string& line : g_engine_lines) {
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string rest = line.substr(prefix.size());
    if (std::none_of(std::begin(summaries), std::end(summaries),
                     [&](const std::string& summary) { return rest.compare(0, summary.size(), summary) == 0; }))
      tries.push_back(rest);
  }
  return tries;
}

// One engine: a report for scripts, a line for people.
Report engine_report(const EngineFacts& engine, Line* line) {
  Report report;
  report.add("engine", engine.name);
  line->name = engine.name;
  const bool ready = core_ctrl(engine.id, CTRL_READY) == 1;
  const int tokens =
      engine.setting != nullptr || engine.id == ENGINE_CRYPTOAPI ? core_ctrl(engine.id, CTRL_TOKEN_COUNT) : 0;
  if (!ready) {
    report.add("state", "not started");
    line->value = "not started";
    return report;
  }
  if (engine.id == ENGINE_CRYPTOAPI && tokens == CORE_E_NOT_SUPPORTED) {
    report.add("state", "not available");
    line->value = "not available on this system (Windows' CryptoAPI)";
    return report;
  }
  if (engine.setting == nullptr) {
    report.add("state", "ready");
    line->value = "ready for key files";
    return report;
  }

  const std::vector<std::string> tries = tries_of(engine.log_name);
  std::string module;
  const std::string loaded = ": loaded";
  for (const std::string& attempt : tries)
    if (attempt.size() > loaded.size() && attempt.compare(attempt.size() - loaded.size(), loaded.size(), loaded) == 0)
      module = attempt.substr(0, attempt.size() - loaded.size());
  ReportList tried;
  for (const std::string& attempt : tries) tried.push_back(Report().add("try", attempt));
  if (tokens < 0) {
    report.add("state", "no module").add("tried", std::move(tried));
    line->value = "no token module found (" + std::to_string(tries.size()) +
                  " tried, see --json); name one with velix settings set " + engine.setting + " PATH";
    return report;
  }
  ReportList names;
  std::string shown;
  for (int i = 0; i < tokens; ++i) {
    char name[256] = {};
    core_ctrl(engine.id, CTRL_TOKEN_NAME, i, name, static_cast<int>(sizeof name));
    names.push_back(Report().add("token", name));
    shown += std::string(i == 0 ? "" : ", ") + "\"" + name + "\"";
  }
  report.add("state", "module loaded")
      .add("module", module)
      .add("tokens", std::move(names))
      .add("tried", std::move(tried));
  line->value = "module " + (module.empty() ? std::string("loaded") : module) + "; " +
                (tokens == 0 ? std::string("no token present")
                             : std::to_string(tokens) + (tokens == 1 ? " token: " : " tokens: ") + shown);
  return report;
}

// The display a dialog would use, and whether it really opens.
struct DisplayFacts {
  std::string name;  // "DISPLAY=:0"; empty when none opens
  std::string why_not;
};

DisplayFacts display_facts() {
  DisplayFacts facts;
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') continue;
    std::string why;
    const bool opens = std::string(variable) == "DISPLAY" ? platform::os_can_open_x11_display(&why)
                                                          : platform::os_can_open_wayland_display(&why);
    if (opens) return {std::string(variable) + "=" + value, ""};
    facts.why_not += (facts.why_not.empty() ? "" : "; ") + why;
  }
  if (facts.why_not.empty()) facts.why_not = "neither DISPLAY nor WAYLAND_DISPLAY is set";
  return facts;
}

void print_lines(const std::vector<Line>& lines, int indent) {
  for (const Line& line : lines)
    std::printf("%*s%s: %s\n", indent, "", terminal_text(line.name).c_str(), terminal_text(line.value).c_str());
}

void diagnose(const GlobalOptions& options) {
  engines::set_engine_log_sink(&keep_engine_line);
  core_init();

  const std::string settings = platform::RegHiveLocation(platform::RegHive::kCurrentUser);
  const std::string logs = home() + "/velixhost";
  const Line settings_line{"settings", settings + (exists(settings) ? "" : " (nothing stored yet)")};
  const Line logs_line{"velixhost logs", logs + (exists(logs) ? "" : " (none yet: velixhost has not run)")};

  ReportList key_list;
  std::vector<Line> key_lines;
  for (const KeyListEntry* entry = Config::Instance().keyList.head(); entry != nullptr; entry = entry->next) {
    const std::string name = platform::ansi_to_utf8(entry->name);
    const bool found = exists(entry->path);
    key_list.push_back(Report().add("name", name).add("path", entry->path).add("exists", found));
    key_lines.push_back({name, entry->path + (found ? "" : " (missing)")});
  }
  // Key files where a key set is often made, that the key list does not name.
  ReportList other_keys;
  std::vector<Line> other_lines;
  for (const char* file : {"secret.key", "Public.iks", "pubkeys.key"}) {
    const std::string path = home() + "/" + file;
    if (!exists(path)) continue;
    other_keys.push_back(Report().add("path", path));
    other_lines.push_back({file, path});
  }

  ReportList engines;
  std::vector<Line> engine_lines;
  for (const EngineFacts& engine : kEngines) {
    Line line;
    engines.push_back(engine_report(engine, &line));
    engine_lines.push_back(line);
  }
  engines::set_engine_log_sink(nullptr);

  const DisplayFacts display = display_facts();
  const Line display_line{"display",
                          !display.name.empty()
                              ? display.name + ", opens: dialogs can be shown"
                              : "none (" + display.why_not +
                                    "): velixhost answers every signing request with the reason no-display, without a dialog; velix sign works without --dialog"};

  if (options.json) {
    Report report;
    report.add("settings_path", settings).add("settings_exist", exists(settings));
    report.add("logs_path", logs).add("logs_exist", exists(logs));
    report.add("key_list", std::move(key_list)).add("key_files_in_home", std::move(other_keys));
    report.add("engines", std::move(engines));
    report.add("display", display.name).add("display_opens", !display.name.empty());
    if (display.name.empty()) report.add("display_problem", display.why_not);
    report.add("digest_prefix_published", digest_prefix_is_published_default());
    report.add("velix", VELIX_VERSION).add("libvelixverify", velix_verify_version());
    report.add("openssl", OpenSSL_version(OPENSSL_VERSION));
    print_report(report, true);
    return;
  }
  print_lines({settings_line, logs_line}, 0);
  if (key_lines.empty()) {
    std::printf("key list: empty (velix keys create makes a key set, velix keys add lists a key file)\n");
  } else {
    std::printf("key list:\n");
    print_lines(key_lines, 2);
  }
  if (!other_lines.empty()) {
    std::printf("key files in the home folder:\n");
    print_lines(other_lines, 2);
  }
  std::printf("engines:\n");
  print_lines(engine_lines, 2);
  print_lines({display_line,
               {"velix", VELIX_VERSION},
               {"libvelixverify", velix_verify_version()},
               {"openssl", OpenSSL_version(OPENSSL_VERSION)}},
              0);
  if (digest_prefix_is_published_default())
    std::printf("warning: this build uses the published default AUTH digest prefix, with which anyone can\n"
                "  compute valid AUTH lines; build the packages with VELIX_DIGEST_PREFIX=<20 hex digits>\n");
}

}  // namespace

void add_diagnose_command(CLI::App& app, GlobalOptions& options) {
  app.add_subcommand(
         "diagnose",
         "Where settings, logs and keys are; which engines found which modules and tokens; the display; versions")
      ->callback([&options] { diagnose(options); });
}
