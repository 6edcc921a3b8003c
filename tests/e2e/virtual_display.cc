#include "virtual_display.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kStartSeconds = 20;

}  // namespace

VirtualDisplay::VirtualDisplay() {
  // Xvfb writes the number of the display it took to -displayfd once it is
  // ready for clients: no guessing of free numbers, no race with other tests.
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    error_ = "pipe failed";
    return;
  }
  pid_ = fork();
  if (pid_ == 0) {
    dup2(fds[1], 3);  // dup2 clears close-on-exec on the copy
    const int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(devnull, 1);
    dup2(devnull, 2);
    // -noreset: the server would otherwise reset when its last client (one
    // velixhost run) disconnects, and refuse the next run meanwhile.
    execlp("Xvfb", "Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-noreset", "-screen", "0", "1280x1024x24",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  if (pid_ < 0) {
    close(fds[0]);
    error_ = "fork failed";
    return;
  }
  std::string number;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kStartSeconds);
  while (number.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[32];
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n <= 0) break;  // Xvfb ended without a display
    number.append(buffer, static_cast<size_t>(n));
  }
  close(fds[0]);
  if (number.find('\n') == std::string::npos) {
    error_ = "Xvfb did not start within " + std::to_string(kStartSeconds) + " s";
    return;
  }
  number.resize(number.find('\n'));
  name_ = ":" + number;
}

VirtualDisplay::~VirtualDisplay() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  for (int i = 0; i < 50; ++i) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
    usleep(100 * 1000);
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}
