// memory_at_exit PID HEX...: attaches to a running process and, at the moment
// it exits (its memory still whole), counts how often each byte string given
// in hex occurs in its readable memory, forward and byte-reversed (the order
// of a big number's words in memory). Prints "hits N N ..." and exits 0; exits
// 1 when it could not attach or the process was gone before its exit could be
// seen. The test that starts it waits until /proc/PID/status names a tracer.
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string from_hex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

int count(const std::string& memory, const std::string& needle) {
  int hits = 0;
  for (size_t at = memory.find(needle); at != std::string::npos; at = memory.find(needle, at + 1)) ++hits;
  return hits;
}

// Every readable mapping but the kernel's own pages.
std::vector<std::pair<unsigned long, unsigned long>> readable_ranges(pid_t pid) {
  std::vector<std::pair<unsigned long, unsigned long>> ranges;
  std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
  std::string line;
  while (std::getline(maps, line)) {
    unsigned long start = 0, end = 0;
    char perms[8] = {};
    if (std::sscanf(line.c_str(), "%lx-%lx %7s", &start, &end, perms) != 3 || perms[0] != 'r') continue;
    if (line.find("[vvar]") != std::string::npos || line.find("[vsyscall]") != std::string::npos) continue;
    ranges.emplace_back(start, end);
  }
  return ranges;
}

std::vector<int> scan(pid_t pid, const std::vector<std::string>& needles) {
  std::vector<int> hits(needles.size(), 0);
  const int mem = open(("/proc/" + std::to_string(pid) + "/mem").c_str(), O_RDONLY | O_CLOEXEC);
  if (mem < 0) return {};
  for (const auto& [start, end] : readable_ranges(pid)) {
    std::string memory(end - start, '\0');
    const ssize_t got = pread(mem, memory.data(), memory.size(), static_cast<off_t>(start));
    if (got <= 0) continue;
    memory.resize(static_cast<size_t>(got));
    for (size_t i = 0; i < needles.size(); ++i) {
      std::string reversed(needles[i].rbegin(), needles[i].rend());
      hits[i] += count(memory, needles[i]) + count(memory, reversed);
    }
  }
  close(mem);
  return hits;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: memory_at_exit PID HEX...\n");
    return 2;
  }
  const pid_t pid = static_cast<pid_t>(std::atoi(argv[1]));
  std::vector<std::string> needles;
  for (int i = 2; i < argc; ++i) needles.push_back(from_hex(argv[i]));
  if (ptrace(PTRACE_SEIZE, pid, nullptr, reinterpret_cast<void*>(PTRACE_O_TRACEEXIT)) != 0) {
    std::fprintf(stderr, "memory_at_exit: cannot attach to %d: %s\n", pid, std::strerror(errno));
    return 1;
  }
  while (true) {
    int status = 0;
    if (waitpid(pid, &status, __WALL) != pid) return 1;
    if (WIFEXITED(status) || WIFSIGNALED(status)) return 1;
    if (!WIFSTOPPED(status)) continue;
    if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
      const std::vector<int> hits = scan(pid, needles);
      if (hits.empty()) return 1;
      std::printf("hits");
      for (int n : hits) std::printf(" %d", n);
      std::printf("\n");
      std::fflush(stdout);
      ptrace(PTRACE_DETACH, pid, nullptr, nullptr);
      return 0;
    }
    // Any other stop: let the process go on, its signal delivered.
    const int signal = WSTOPSIG(status) == SIGTRAP ? 0 : WSTOPSIG(status);
    ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(static_cast<long>(signal)));
  }
}
