// What reading the settings costs with a long key list: `velix keys list`
// and a velixhost "state" request with 2,000 keys listed, against parsing
// that hive file once, in one run. The cost a command adds for the keys is
// its time with them less its time with an empty hive; the goal is at most
// 1.5 times one parse (the hive is parsed once per process). Processor time
// (user and system) of whole processes, so that other load on the machine
// does not blur the comparison, and of the parse; each round alternates the
// contenders; min/median/max.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/sample_stats.h"
#include "platform/reg_file.h"
#include "settings/config.h"
#include "settings/key_list.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kKeys = 2000;
constexpr int kRounds = 31;
constexpr int kParses = 200;

// Runs the program with XDG_CONFIG_HOME at config, standard input from the
// file `input` (or the null device), standard output to the null device.
double run_ms(const std::vector<std::string>& argv, const std::string& config, const std::string& input) {
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, input.empty() ? "/dev/null" : input.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  int status = -1;
  rusage usage{};
  if (posix_spawn(&pid, args[0], &files, nullptr, args.data(), environ) == 0) wait4(pid, &status, 0, &usage);
  const double ms = (static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3);
  posix_spawn_file_actions_destroy(&files);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed\n", argv[0].c_str());
    std::exit(1);
  }
  return ms;
}

std::string read_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

double processor_ms() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// One parse as a process makes it: the file read and parsed, in milliseconds.
double parse_ms(const fs::path& hive) {
  const double start = processor_ms();
  const platform::ParsedHive parsed = platform::parse_reg_file(read_text(hive), "HKEY_CURRENT_USER");
  const double ms = processor_ms() - start;
  if (parsed.damaged || parsed.hive.keys().empty()) std::exit(1);
  return ms;
}

// The hive file replaced by a copy of itself, as another process's save
// replaces it: the next read in this process must parse it again.
void replace_with_copy(const fs::path& hive) {
  const fs::path copy = hive.string() + ".bench";
  fs::copy_file(hive, copy, fs::copy_options::overwrite_existing);
  fs::rename(copy, hive);
}

// The settings' own work of a fresh process, timed in this one: the file
// replaced first, then `work` (processor milliseconds).
template <typename Work>
double fresh_read_ms(const fs::path& hive, Work work) {
  replace_with_copy(hive);
  const double start = processor_ms();
  work();
  return processor_ms() - start;
}

void report(const char* what, const std::vector<double>& ratios) {
  const Stats s = stats_of(ratios);
  std::printf("%s, whole process: extra time for %d keys / one parse: min %.2fx median %.2fx max %.2fx\n", what,
              kKeys, s.min, s.median, s.max);
}

}  // namespace

int main() {
  std::string base = (fs::temp_directory_path() / "velix-bench-settings-XXXXXX").string();
  if (mkdtemp(base.data()) == nullptr) return 1;
  const std::string full = base + "/full", empty = base + "/empty";
  fs::create_directories(empty);
  setenv("XDG_CONFIG_HOME", full.c_str(), 1);
  {
    KeyList keys;
    char name[32], path[64];
    for (int i = 0; i < kKeys; ++i) {
      std::snprintf(name, sizeof name, "Key %04d", i);
      std::snprintf(path, sizeof path, "/home/user/keys/key%04d.key", i);
      keys.Append(name, path);
    }
    if (!keys.Save()) return 1;
  }
  const fs::path hive = fs::path(full) / "velixcom" / "HKEY_CURRENT_USER.reg";
  std::printf("hive with %d keys: %ju bytes\n", kKeys, static_cast<uintmax_t>(fs::file_size(hive)));

  const std::string request = base + "/state.request";
  {
    const std::string body = R"({"type":"velixcom","uid":"bench","action":"state","args":{}})";
    const auto length = static_cast<uint32_t>(body.size());
    std::ofstream(request, std::ios::binary).write(reinterpret_cast<const char*>(&length), 4) << body;
  }
  setenv("HOME", base.c_str(), 1);  // velixhost's log goes under it
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");

  std::vector<double> parses;
  for (int i = 0; i < kParses; ++i) parses.push_back(parse_ms(hive));
  const double parse = stats_of(parses).median;
  std::printf("one parse of the hive: median %.3f ms\n", parse);

  // In this process, free of process start-up: the key list as velix keys
  // list loads it, and the settings as a state request loads them.
  std::vector<double> load_ratios, config_ratios;
  size_t loaded = 0;
  for (int round = 0; round < kRounds; ++round) {
    load_ratios.push_back(fresh_read_ms(hive, [&] {
      KeyList keys;
      keys.Load();
      loaded = 0;
      for (const KeyListEntry* entry = keys.head(); entry != nullptr; entry = entry->next) ++loaded;
    }) / parse);
    config_ratios.push_back(fresh_read_ms(hive, [] { Config config; }) / parse);
  }
  if (loaded != kKeys) return 1;
  const Stats load = stats_of(load_ratios), config = stats_of(config_ratios);
  std::printf("key list load (velix keys list's reading) / one parse: min %.2fx median %.2fx max %.2fx (goal <= 1.5x)\n",
              load.min, load.median, load.max);
  std::printf("settings load (a state request's reading) / one parse: min %.2fx median %.2fx max %.2fx (goal <= 1.5x)\n",
              config.min, config.median, config.max);

  const std::vector<std::string> list{VELIX_PATH, "keys", "list"};
  const std::vector<std::string> host{VELIXHOST_PATH};
  std::vector<double> list_ratios, state_ratios;
  std::vector<double> last;
  for (int round = 0; round < kRounds; ++round) {
    const double list_empty = run_ms(list, empty, "");
    const double list_full = run_ms(list, full, "");
    const double state_empty = run_ms(host, empty, request);
    const double state_full = run_ms(host, full, request);
    last = {list_full, list_empty, state_full, state_empty};
    list_ratios.push_back((list_full - list_empty) / parse);
    state_ratios.push_back((state_full - state_empty) / parse);
  }
  std::printf("processor time of the last round: keys list %.1f ms (empty hive %.1f ms), state %.1f ms "
              "(empty hive %.1f ms)\n", last[0], last[1], last[2], last[3]);
  report("velix keys list", list_ratios);
  report("velixhost state", state_ratios);
  std::error_code ignored;
  fs::remove_all(base, ignored);
  return 0;
}
