#include "terminal_session.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

TerminalSession::TerminalSession(const std::vector<std::string>& argv, const EnvChanges& env) {
  std::vector<std::string> args = argv;
  std::vector<std::string> envs = child_environment(env);
  std::vector<char*> arg_ptrs, env_ptrs;
  for (std::string& a : args) arg_ptrs.push_back(a.data());
  arg_ptrs.push_back(nullptr);
  for (std::string& e : envs) env_ptrs.push_back(e.data());
  env_ptrs.push_back(nullptr);
  if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) return;
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(slave_, F_SETFD, FD_CLOEXEC);
  pid_ = fork();
  if (pid_ == 0) {
    setsid();
    ioctl(slave_, TIOCSCTTY, 0);
    dup2(slave_, 0);
    dup2(slave_, 1);
    dup2(slave_, 2);
    execvpe(arg_ptrs[0], arg_ptrs.data(), env_ptrs.data());
    _exit(127);
  }
}

TerminalSession::~TerminalSession() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (master_ >= 0) close(master_);
  if (slave_ >= 0) close(slave_);
}

void TerminalSession::read_available(int timeout_ms) {
  pollfd p{master_, POLLIN, 0};
  if (poll(&p, 1, timeout_ms) <= 0) return;
  char buffer[4096];
  const ssize_t n = read(master_, buffer, sizeof buffer);
  if (n > 0) shown_.append(buffer, static_cast<size_t>(n));
}

bool TerminalSession::has_exited() const {
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_;
}

bool TerminalSession::wait_for(const std::string& text, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    const size_t at = shown_.find(text, consumed_);
    if (at != std::string::npos) {
      consumed_ = at + text.size();
      return true;
    }
    if (reaped_ || has_exited()) {
      read_available(0);
      if (shown_.find(text, consumed_) == std::string::npos) return false;
      continue;
    }
    read_available(50);
  }
  return false;
}

void TerminalSession::type(const std::string& keys) {
  size_t done = 0;
  while (done < keys.size()) {
    const ssize_t n = write(master_, keys.data() + done, keys.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

bool TerminalSession::wait_exit(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!reaped_) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      reaped_ = true;
      exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      reaped_ = true;
      return false;
    }
    read_available(50);
  }
  read_available(0);
  return true;
}

bool TerminalSession::echoes() const {
  termios settings{};
  return tcgetattr(slave_, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
}
