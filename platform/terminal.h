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

// Shows the prompt on the terminal and reads one line without echo. False
// when the process has no terminal or reading fails.
bool read_secret_from_terminal(const char* prompt, std::string* secret);

// Reads one line (up to a line feed or the end) from an open descriptor; a
// trailing CR is dropped. False when the descriptor cannot be read.
bool read_secret_from_fd(int fd, std::string* secret);

}  // namespace platform
