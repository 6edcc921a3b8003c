// velix: keys, cards, signing, verification and tokens from the command line.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "platform/process_protection.h"
#include "platform/registry.h"
#include "tools/velix/exit_codes.h"
#include "tools/velix/options.h"
#include "verify/velixverify.h"

#ifndef VELIX_VERSION
#define VELIX_VERSION "0.0.0"
#endif

namespace {

void allow_global_options_everywhere(CLI::App& app) {
  for (CLI::App* sub : app.get_subcommands({})) {
    sub->fallthrough();
    allow_global_options_everywhere(*sub);
  }
}

void show_settings_notice(const std::string& notice) { std::fprintf(stderr, "velix: %s\n", notice.c_str()); }

// Output that did not reach its place (a full disk, a closed descriptor) is a
// failure, never a success.
int checked_exit(int exit_code) {
  std::cout.flush();  // help and version texts
  errno = 0;
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0 && !std::cout.fail()) return exit_code;
  const int error = errno;
  std::fprintf(stderr, "velix: cannot write the output: %s\n", error != 0 ? std::strerror(error) : "write error");
  return exit_code == kExitOk ? kExitBadInput : exit_code;
}

}  // namespace

int main(int argc, char** argv) {
  platform::os_protect_process();
  platform::RegSetNoticeHandler(&show_settings_notice);
  CLI::App app{"velix: make keys, sign and check documents, manage tokens", "velix"};
  app.set_version_flag("--version", std::string("velix ") + VELIX_VERSION + " (libvelixverify " +
                                        velix_verify_version() + ")");
  app.require_subcommand(1);
  GlobalOptions options;
  app.add_flag("--json", options.json, "Print results as JSON for scripts");
  app.add_option("--passphrase-fd", options.passphrase_fd,
                 "Read the passphrase or PIN (one line) from this open file descriptor")
      ->option_text("N");
  add_verify_command(app, options);
  add_card_commands(app, options);
  add_anchor_commands(app, options);
  add_token_commands(app, options);
  add_diagnose_command(app, options);
  add_settings_commands(app, options);
  add_key_commands(app, options);
  add_sign_commands(app, options);
  add_site_commands(app, options);
  // Global options are accepted after the subcommand too.
  allow_global_options_everywhere(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return checked_exit(app.exit(e));
  } catch (const CLI::CallForAllHelp& e) {
    return checked_exit(app.exit(e));
  } catch (const CLI::CallForVersion& e) {
    return checked_exit(app.exit(e));
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitBadInput;
  } catch (const CommandFailure& failure) {
    if (!failure.message.empty()) std::fprintf(stderr, "velix: %s\n", failure.message.c_str());
    return checked_exit(failure.exit_code);
  }
  return checked_exit(options.exit_code);
}
