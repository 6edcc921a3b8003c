// Secrets typed by a person or handed over by a script: a passphrase read
// from the controlling terminal with echo off, or one line from an open file
// descriptor.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// The longest passphrase or token password the signer takes, in bytes. A
// read stops one byte after it, so an endless source (a descriptor on
// /dev/zero) ends at once with a secret the caller refuses as too long.
inline constexpr size_t kSecretMaxBytes = 254;

enum class TerminalRead {
  kRead,         // a line was read (perhaps empty)
  kNoTerminal,   // the process has no controlling terminal
  kInterrupted,  // Ctrl-C, a hang-up or a termination signal came first
  kFailed,       // the terminal could not be read
};

// Shows the prompt on the terminal and reads one line without echo. The
// terminal's own settings come back on every way out: when the line is read,
// when a signal (SIGINT, SIGTERM, SIGHUP, SIGQUIT) ends the wait, and while
// the process is stopped with Ctrl-Z.
TerminalRead read_secret_from_terminal(const char* prompt, std::string* secret);

// Reads one line (up to a line feed or the end) from an open descriptor; a
// trailing CR is dropped. False when the descriptor cannot be read.
bool read_secret_from_fd(int fd, std::string* secret);

}  // namespace platform
