// A program run on a terminal of its own, as a person runs it in a terminal
// window: a pseudo-terminal that is the child's controlling terminal and its
// standard streams. The test types into it, reads what it shows, sends
// Ctrl-C, and looks at the terminal's settings after the child has gone.
// Every wait is bounded; a child that is still running at the end is killed.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

#include "child_process.h"

class TerminalSession {
 public:
  TerminalSession(const std::vector<std::string>& argv, const EnvChanges& env);
  ~TerminalSession();
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  bool started() const { return pid_ > 0; }
  // Waits until the terminal has shown `text` after what earlier waits
  // consumed; false after the timeout or when the child ends first.
  bool wait_for(const std::string& text, std::chrono::milliseconds timeout);
  // Types on the terminal's keyboard ("\x03" is Ctrl-C).
  void type(const std::string& keys);
  // Waits for the child's exit; false (after killing it) on timeout.
  bool wait_exit(std::chrono::milliseconds timeout);
  int exit_code() const { return exit_code_; }
  // Everything the terminal has shown.
  const std::string& shown() const { return shown_; }
  // Whether the terminal echoes typed characters now.
  bool echoes() const;

 private:
  void read_available(int timeout_ms);
  bool has_exited() const;  // without reaping

  pid_t pid_ = -1;
  int master_ = -1;
  int slave_ = -1;  // kept open so that the settings can be read after the child ends
  std::string shown_;
  size_t consumed_ = 0;
  int exit_code_ = -1;
  bool reaped_ = false;
};
