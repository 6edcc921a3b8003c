#include "tools/velix/options.h"

#include <cerrno>
#include <cstring>
#include <optional>

#include "core/crypto.h"
#include "platform/codepage.h"
#include "platform/new_file.h"
#include "platform/read_whole_file.h"
#include "platform/terminal.h"
#include "tools/velix/exit_codes.h"

std::string read_secret(const GlobalOptions& options, const char* prompt) {
  std::string secret;
  if (options.passphrase_fd >= 0) {
    if (!platform::read_secret_from_fd(options.passphrase_fd, &secret))
      throw CommandFailure{kExitBadInput, "cannot read the passphrase from descriptor " +
                                              std::to_string(options.passphrase_fd)};
  } else {
    switch (platform::read_secret_from_terminal(prompt, &secret)) {
      case platform::TerminalRead::kRead: break;
      case platform::TerminalRead::kInterrupted: throw CommandFailure{kExitCancelled, "cancelled"};
      case platform::TerminalRead::kNoTerminal:
        throw CommandFailure{kExitBadInput, "no terminal to ask for the passphrase; use --passphrase-fd N"};
      case platform::TerminalRead::kFailed:
        throw CommandFailure{kExitBadInput, std::string("cannot read the terminal: ") + std::strerror(errno)};
    }
  }
  if (secret.empty()) throw CommandFailure{kExitCancelled, "cancelled: no passphrase given"};
  if (secret.size() > platform::kSecretMaxBytes) {
    secure_wipe(secret.data(), secret.size());
    throw CommandFailure{kExitBadInput,
                         "the passphrase is longer than " + std::to_string(platform::kSecretMaxBytes) + " bytes"};
  }
  return secret;
}

std::string read_key_passphrase(const GlobalOptions& options, const char* prompt) {
  std::string typed = read_secret(options, prompt);
  std::optional<std::string> ansi = platform::utf8_to_ansi_exact(typed);
  secure_wipe(typed.data(), typed.size());
  if (!ansi) throw CommandFailure{kExitBadInput, "the passphrase has characters the ANSI code page cannot hold"};
  return std::move(*ansi);
}

std::string read_input_file(const std::string& path) {
  std::vector<uint8_t> bytes;
  switch (platform::read_whole_file(path.c_str(), &bytes)) {
    case platform::FileRead::kOk: return std::string(bytes.begin(), bytes.end());
    case platform::FileRead::kMissing: throw CommandFailure{kExitNotFound, path + ": no such file"};
    case platform::FileRead::kFailed: break;
  }
  throw CommandFailure{kExitBadInput, path + ": " + std::strerror(errno)};
}

void write_output_file(const std::string& path, const std::string& content, bool private_to_user) {
  switch (platform::write_new_file(path.c_str(), content.data(), content.size(), private_to_user)) {
    case platform::NewFile::kWritten: return;
    case platform::NewFile::kExists: throw CommandFailure{kExitBadInput, path + ": already exists, not replaced"};
    case platform::NewFile::kFailed: break;
  }
  throw CommandFailure{kExitBadInput, path + ": cannot write: " + std::strerror(errno)};
}
