#include "platform/terminal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

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
    if (n < 0) return false;
    ended = n == 0 || c == '\n';
    if (!ended) line->push_back(c);
  }
  if (ended && !line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

}  // namespace

bool read_secret_from_terminal(const char* prompt, std::string* secret) {
  const int tty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (tty < 0) return false;
  termios saved{};
  if (tcgetattr(tty, &saved) != 0) {
    close(tty);
    return false;
  }
  termios quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  quiet.c_lflag |= ECHONL;
  const ssize_t shown = write(tty, prompt, std::strlen(prompt));
  const bool ok = shown >= 0 && tcsetattr(tty, TCSAFLUSH, &quiet) == 0 && read_line(tty, secret);
  tcsetattr(tty, TCSAFLUSH, &saved);
  close(tty);
  return ok;
}

bool read_secret_from_fd(int fd, std::string* secret) { return fd >= 0 && read_line(fd, secret); }

}  // namespace platform
