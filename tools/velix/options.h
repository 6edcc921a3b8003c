// What every subcommand shares: the global options and the secret input.
#pragma once

#include <string>

namespace CLI {
class App;
}

struct GlobalOptions {
  bool json = false;
  int passphrase_fd = -1;  // -1: ask on the terminal
  int exit_code = 0;       // set by the subcommand that ran
};

// A passphrase or PIN: from --passphrase-fd when given, else typed on the
// terminal without echo. An empty answer cancels (exit code 4); no terminal
// and no descriptor is bad usage (exit code 2).
std::string read_secret(const GlobalOptions& options, const char* prompt);
// A key file's passphrase: read_secret in the ANSI code page, the bytes the
// signer's dialog hands over and key creation stores (exit code 2 when the
// page cannot hold a character of it).
std::string read_key_passphrase(const GlobalOptions& options, const char* prompt);

// The text of a file (exit code 3 when it is missing, 2 when unreadable).
std::string read_input_file(const std::string& path);
// Writes a new file; one that already exists is never overwritten (exit 2).
void write_output_file(const std::string& path, const std::string& content, bool private_to_user);

// Registration of the subcommands.
void add_verify_command(CLI::App& app, GlobalOptions& options);
void add_card_commands(CLI::App& app, GlobalOptions& options);
void add_anchor_commands(CLI::App& app, GlobalOptions& options);
void add_token_commands(CLI::App& app, GlobalOptions& options);
void add_diagnose_command(CLI::App& app, GlobalOptions& options);
void add_settings_commands(CLI::App& app, GlobalOptions& options);
void add_key_commands(CLI::App& app, GlobalOptions& options);
void add_sign_commands(CLI::App& app, GlobalOptions& options);
void add_site_commands(CLI::App& app, GlobalOptions& options);
