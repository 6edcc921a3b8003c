#include "exit_watch.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/rsa.h"
#include "engines/builtin.h"

namespace {

std::string hex(const std::string& bytes) {
  std::string out;
  char two[3];
  for (const char c : bytes) {
    std::snprintf(two, sizeof two, "%02x", static_cast<unsigned char>(c));
    out += two;
  }
  return out;
}

// The tracer's pid in /proc/PID/status, 0 when none.
long tracer_of(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("TracerPid:", 0) == 0) return std::stol(line.substr(10));
  return 0;
}

}  // namespace

ExitWatch::ExitWatch(pid_t pid, const std::vector<std::string>& needles) {
  std::vector<std::string> argv{MEMORY_AT_EXIT_PATH, std::to_string(pid)};
  for (const std::string& needle : needles) argv.push_back(hex(needle));
  tool_ = std::make_unique<ChildProcess>(argv, EnvChanges{});
  if (!tool_->started()) return;
  tool_->close_input();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!attached_ && tool_->running() && std::chrono::steady_clock::now() < deadline) {
    attached_ = tracer_of(pid) == tool_->pid();
    if (!attached_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::vector<int> ExitWatch::hits(std::chrono::milliseconds timeout) {
  if (!attached_ || !tool_->wait(timeout) || tool_->exit_code() != 0) return {};
  std::istringstream words(tool_->output());
  std::string label;
  words >> label;
  std::vector<int> counts;
  for (int n; words >> n;) counts.push_back(n);
  return label == "hits" ? counts : std::vector<int>{};
}

EnvChanges without_leak_check_at_exit() {
  const char* options = std::getenv("ASAN_OPTIONS");
  return {{"ASAN_OPTIONS", std::string(options != nullptr ? options : "") + ":detect_leaks=0"}};
}

std::vector<std::string> secret_number_windows(const KeyHandle& key) {
  const auto* secret = static_cast<const BuiltinSecretKey*>(key.engine_data);
  if (secret == nullptr || key.engine_id != ENGINE_BUILTIN) return {};
  const RsaPrivateKey& record = secret->record;
  // Numbers are right-aligned in their fields: a window near the end is inside the number.
  const auto window = [](const uint8_t* field, size_t size) {
    return std::string(reinterpret_cast<const char*>(field + size - 40), 24);
  };
  return {window(record.exponent, sizeof record.exponent), window(record.prime[0], sizeof record.prime[0]),
          window(record.prime[1], sizeof record.prime[1])};
}
