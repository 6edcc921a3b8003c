#include "platform/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

// Reserved once, so no partial secret is left behind in a freed buffer.
// A line longer than the longest secret (room left for its CR) stops early.
bool read_line(int fd, std::string* line) {
  constexpr size_t kMostRead = kSecretMaxBytes + 2;
  line->clear();
  line->reserve(kMostRead);
  char c;
  bool ended = false;
  while (!ended && line->size() < kMostRead) {
    const ssize_t n = read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    ended = n == 0 || c == '\n';
    if (!ended) line->push_back(c);
  }
  if (ended && !line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

// Signals that end the wait for a passphrase. While the prompt waits they are
// blocked except inside ppoll, so that one cannot slip in between the check
// and the wait.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// What the handlers need; one prompt at a time.
int g_tty = -1;
termios g_saved{};
termios g_quiet{};
volatile sig_atomic_t g_ending_signal = 0;

void on_ending_signal(int signal_number) {
  const int saved_errno = errno;
  tcsetattr(g_tty, TCSANOW, &g_saved);
  g_ending_signal = signal_number;
  errno = saved_errno;
}

// Ctrl-Z: the shell gets its terminal back as it was, and the prompt takes it
// again once the process goes on.
void on_stop(int) {
  const int saved_errno = errno;
  tcsetattr(g_tty, TCSANOW, &g_saved);
  struct sigaction stop_default{};
  stop_default.sa_handler = SIG_DFL;
  struct sigaction ours{};
  sigaction(SIGTSTP, &stop_default, &ours);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);
  raise(SIGTSTP);
  // Continued.
  sigprocmask(SIG_BLOCK, &stop, nullptr);
  sigaction(SIGTSTP, &ours, nullptr);
  tcsetattr(g_tty, TCSANOW, &g_quiet);
  errno = saved_errno;
}

// Handlers for the time of one prompt, and the signal mask around it.
class PromptSignals {
 public:
  PromptSignals() {
    g_ending_signal = 0;
    sigset_t block;
    sigemptyset(&block);
    struct sigaction ending{};
    ending.sa_handler = &on_ending_signal;
    sigemptyset(&ending.sa_mask);
    int i = 0;
    for (const int s : kEndingSignals) {
      sigaction(s, &ending, &previous_[i++]);
      sigaddset(&block, s);
    }
    struct sigaction stop{};
    stop.sa_handler = &on_stop;
    stop.sa_flags = SA_RESTART;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGTSTP, &stop, &previous_stop_);
    sigprocmask(SIG_BLOCK, &block, &mask_);
  }
  ~PromptSignals() {
    int i = 0;
    for (const int s : kEndingSignals) sigaction(s, &previous_[i++], nullptr);
    sigaction(SIGTSTP, &previous_stop_, nullptr);
    sigprocmask(SIG_SETMASK, &mask_, nullptr);
  }
  PromptSignals(const PromptSignals&) = delete;
  PromptSignals& operator=(const PromptSignals&) = delete;

  // Waits until the terminal has input: false when an ending signal came.
  bool wait_for_input(int fd) const {
    for (;;) {
      if (g_ending_signal != 0) return false;
      pollfd p{fd, POLLIN, 0};
      const int ready = ppoll(&p, 1, nullptr, &mask_);
      if (ready > 0) return true;
      if (ready < 0 && errno != EINTR) return true;  // read() reports the problem
    }
  }

 private:
  struct sigaction previous_[sizeof kEndingSignals / sizeof kEndingSignals[0]]{};
  struct sigaction previous_stop_{};
  sigset_t mask_{};  // the mask before the prompt
};

// A line typed at the terminal: each byte is waited for, so that a signal can
// end the wait at any point of the line.
TerminalRead read_typed_line(int tty, const PromptSignals& signals, std::string* line) {
  line->clear();
  for (;;) {
    if (!signals.wait_for_input(tty)) return TerminalRead::kInterrupted;
    char c;
    const ssize_t n = read(tty, &c, 1);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n < 0) return TerminalRead::kFailed;
    if (n == 0 || c == '\n') break;
    line->push_back(c);
  }
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return TerminalRead::kRead;
}

}  // namespace

TerminalRead read_secret_from_terminal(const char* prompt, std::string* secret) {
  const int tty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (tty < 0) return TerminalRead::kNoTerminal;
  termios saved{};
  if (tcgetattr(tty, &saved) != 0) {
    close(tty);
    return TerminalRead::kNoTerminal;
  }
  termios quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  quiet.c_lflag |= ECHONL;
  g_tty = tty;
  g_saved = saved;
  g_quiet = quiet;
  TerminalRead result = TerminalRead::kFailed;
  {
    const PromptSignals signals;
    // Quiet before the prompt shows: what is typed once it is there is neither
    // echoed nor thrown away with the type-ahead.
    if (tcsetattr(tty, TCSAFLUSH, &quiet) == 0 && write(tty, prompt, std::strlen(prompt)) >= 0)
      result = read_typed_line(tty, signals, secret);
    tcsetattr(tty, TCSANOW, &saved);
    // The echo was off when Ctrl-C came: the shell's prompt starts on a line of its own.
    if (result == TerminalRead::kInterrupted) (void)!write(tty, "\n", 1);
  }
  g_tty = -1;
  close(tty);
  return result;
}

bool read_secret_from_fd(int fd, std::string* secret) { return fd >= 0 && read_line(fd, secret); }

}  // namespace platform
