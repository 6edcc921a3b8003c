// A child program with pipes on its standard input and output, started with
// changes to this process's environment, and waited for with a deadline: a
// child that hangs is killed, so a test fails instead of hanging.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

// Variables to set (a value) or to remove (nullopt) in the child.
using EnvChanges = std::map<std::string, std::optional<std::string>>;

// This process's environment with the changes, as "NAME=value" entries.
std::vector<std::string> child_environment(const EnvChanges& changes);

class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const EnvChanges& env);
  ~ChildProcess();  // kills a child that is still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  void write_input(const std::string& bytes);
  void close_input();

  // Reads standard output until the child exits or the timeout passes; then
  // kills it. True when it exited by itself in time.
  bool wait(std::chrono::milliseconds timeout);
  bool running() const;

  const std::string& output() const { return output_; }
  // Exit code of a child that exited normally; -1 otherwise.
  int exit_code() const { return exit_code_; }

 private:
  void kill_and_reap();

  pid_t pid_ = -1;
  int input_ = -1;
  int output_fd_ = -1;
  std::string output_;
  int exit_code_ = -1;
  bool reaped_ = false;
};

struct CommandResult {
  bool finished = false;  // exited by itself before the timeout
  int exit_code = -1;
  std::string output;
};

// Runs a command to its end (bounded by timeout), standard input empty.
CommandResult run_command(const std::vector<std::string>& argv, const EnvChanges& env,
                          std::chrono::milliseconds timeout);
