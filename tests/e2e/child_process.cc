#include "child_process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

std::vector<std::string> child_environment(const EnvChanges& changes) {
  std::vector<std::string> result;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry(*e);
    const std::string name = entry.substr(0, entry.find('='));
    if (changes.count(name) == 0) result.push_back(entry);
  }
  for (const auto& [name, value] : changes)
    if (value) result.push_back(name + "=" + *value);
  return result;
}

namespace {

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (std::string& s : strings) result.push_back(s.data());
  result.push_back(nullptr);
  return result;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const EnvChanges& env) {
  // Everything the child needs is built before fork: only async-signal-safe calls after it.
  std::vector<std::string> args = argv;
  std::vector<std::string> envs = child_environment(env);
  std::vector<char*> arg_ptrs = pointers(args);
  std::vector<char*> env_ptrs = pointers(envs);
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0) return;
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    return;
  }
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    execvpe(arg_ptrs[0], arg_ptrs.data(), env_ptrs.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  if (pid_ < 0) {
    close(in[1]);
    close(out[0]);
    return;
  }
  input_ = in[1];
  output_fd_ = out[0];
}

ChildProcess::~ChildProcess() {
  close_input();
  if (pid_ > 0 && !reaped_) kill_and_reap();
  if (output_fd_ >= 0) close(output_fd_);
}

void ChildProcess::write_input(const std::string& bytes) {
  size_t done = 0;
  while (input_ >= 0 && done < bytes.size()) {
    const ssize_t n = write(input_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
}

void ChildProcess::close_input() {
  if (input_ >= 0) close(input_);
  input_ = -1;
}

bool ChildProcess::running() const {
  if (pid_ <= 0 || reaped_) return false;
  siginfo_t info{};
  // WNOWAIT leaves an exited child to be reaped by wait().
  if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return false;
  return info.si_pid == 0;
}

bool ChildProcess::wait(std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  // Standard output closes when the child (and anything it passed it to) ends.
  while (output_fd_ >= 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{output_fd_, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    char buffer[4096];
    const ssize_t n = read(output_fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      close(output_fd_);
      output_fd_ = -1;
      break;
    }
    output_.append(buffer, static_cast<size_t>(n));
  }
  while (!reaped_) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      reaped_ = true;
      exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    usleep(20 * 1000);
  }
  kill_and_reap();
  return false;
}

void ChildProcess::kill_and_reap() {
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  reaped_ = true;
  exit_code_ = -1;
}

CommandResult run_command(const std::vector<std::string>& argv, const EnvChanges& env,
                          std::chrono::milliseconds timeout) {
  ChildProcess child(argv, env);
  CommandResult result;
  if (!child.started()) return result;
  child.close_input();
  result.finished = child.wait(timeout);
  result.exit_code = child.exit_code();
  result.output = child.output();
  return result;
}
