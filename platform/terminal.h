// Secrets typed by a person or handed over by a script: a passphrase read
// from the controlling terminal with echo off, or one line from an open file
// descriptor.
#pragma once

#include <string>

namespace platform {

// Shows the prompt on the terminal and reads one line without echo. False
// when the process has no terminal or reading fails.
bool read_secret_from_terminal(const char* prompt, std::string* secret);

// Reads one line (up to a line feed or the end) from an open descriptor; a
// trailing CR is dropped. False when the descriptor cannot be read.
bool read_secret_from_fd(int fd, std::string* secret);

}  // namespace platform
