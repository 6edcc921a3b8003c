// Opening a key file anchored to this machine against opening the same key
// from its plain file, both through KeyHardAnchor::OpenKeyFile with the
// builtin engine, measured in one run and reported as a ratio. The
// fingerprint is rebuilt on every anchored open; the goal is at most twice
// the plain open. The parts of the anchored open are timed on their own to
// show what dominates. Drives are asked once per process, so the drive
// query row is what the first anchored open of a process pays on top. Times are processor time (user and system), so that
// other load on the machine does not blur the comparison.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "core/core.h"
#include "engines/hardanchor.h"

namespace {

constexpr int kRounds = 21;
constexpr int kCallsPerRound = 200;

struct Contender {
  const char* name;
  std::function<bool()> run;
  std::vector<double> microseconds;  // per call, one entry per round
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  // The fixture key of the tests, found from this source's own place.
  const fs::path fixture = fs::path(__FILE__).parent_path().parent_path() / "tests" / "fixtures" / "secret.key";
  const char* passphrase = "velix-test";
  const fs::path dir = fs::temp_directory_path() / ("velix-bench-" + std::to_string(std::time(nullptr)));
  fs::create_directories(dir);
  const std::string plain = (dir / "plain.key").string();
  const std::string anchored = (dir / "anchored.key").string();
  fs::copy_file(fixture, plain, fs::copy_options::overwrite_existing);
  fs::copy_file(fixture, anchored, fs::copy_options::overwrite_existing);
  if (AnchorKeyFile(anchored.c_str()) != 0) {
    std::fprintf(stderr, "the key file could not be anchored\n");
    return 1;
  }

  core_init();
  const platform::MachineFacts& machine = platform::this_machine();
  auto open = [&](const std::string& path) {
    KeyHandle key{};
    KeyHardAnchor anchor;
    const bool ok = anchor.OpenKeyFile(ENGINE_BUILTIN, path.c_str(), passphrase, &key) == 0;
    core_close_key(&key);
    return ok;
  };
  std::ifstream in(anchored, std::ios::binary);
  const std::string anchored_text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const size_t hex_begin = anchored_text.find('\n') + 1;
  const std::string hex = anchored_text.substr(hex_begin, anchored_text.find('\n', hex_begin) - hex_begin);
  std::vector<char> out(hex.size());

  Contender contenders[] = {
      {"plain open", [&] { return open(plain); }, {}},
      {"anchored open", [&] { return open(anchored); }, {}},
      {"  fingerprint", [&] { char b[1024]; return BuildMachineFingerprint(b, sizeof b) > 0; }, {}},
      {"    drives (kept by the process)", [&] { return !machine.drives().empty(); }, {}},
      {"    drive query (first open of a process)", [&] { return !platform::query_drives().empty(); }, {}},
      {"    processors", [&] { return !machine.processors().empty(); }, {}},
      {"    volume serial", [&] { return machine.system_volume_serial().has_value(); }, {}},
      {"  decrypt (with fingerprint)",
       [&] { return DecryptAnchored(machine, hex.data(), static_cast<int>(hex.size()), out.data()) > 0; }, {}},
  };

  // Rounds alternate between the contenders so that all see the same machine load.
  for (Contender& c : contenders)
    for (int i = 0; i < 20; ++i) c.run();  // warm-up
  for (int round = 0; round < kRounds; ++round) {
    for (Contender& c : contenders) {
      const std::clock_t start = std::clock();
      for (int i = 0; i < kCallsPerRound; ++i) {
        if (!c.run()) {
          std::fprintf(stderr, "%s failed\n", c.name);
          return 1;
        }
      }
      const double elapsed_us = 1e6 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
      c.microseconds.push_back(elapsed_us / kCallsPerRound);
    }
  }

  const double reference = median(contenders[0].microseconds);
  std::printf("Opening a protected 1024-bit key file, CPU time, median of %d rounds of %d\n", kRounds,
              kCallsPerRound);
  for (const Contender& c : contenders) {
    const double us = median(c.microseconds);
    std::printf("  %-42s %8.1f us   %.2fx the plain open\n", c.name, us, us / reference);
  }
  const double ratio = median(contenders[1].microseconds) / reference;
  std::printf("anchored goal (<= 2x the plain open): %s\n", ratio <= 2.0 ? "met" : "missed");

  core_done();
  fs::remove_all(dir);
  return 0;
}
