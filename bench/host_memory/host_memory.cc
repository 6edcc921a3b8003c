// Peak memory of velixhost, through the real program (the request on a pipe,
// the passphrase typed into the authorization dialog on a private Xvfb
// display), for two requests:
//  - the largest message whose answer a browser still takes (1 MiB), signed,
//    against a small message signed the same way;
//  - the largest request a browser can send (64 MiB), which can only be
//    refused, against a small request that shows nothing.
// Each is the extra peak RSS as a multiple of the request's size; the goal is
// at most 3 for both. Every run is repeated; min/median/max are reported.
// velixhost is started through peak_rss, so that this program's own memory
// (it holds the 64 MiB request) is not counted in velixhost's peak.
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench/sample_stats.h"
#include "tests/e2e/desktop.h"
#include "tests/e2e/host_session.h"
#include "tests/e2e/virtual_display.h"

namespace {

using namespace std::chrono_literals;

constexpr long kAnswerLimit = 1024 * 1024;
constexpr long kRequestLimit = 64L * 1024 * 1024;
constexpr char kPassphrase[] = "velix-test";
constexpr int kRepeats = 3;

struct Run {
  bool ok = false;
  long requestBytes = 0;
  long answerBytes = 0;
  long peakKiB = 0;
};

long request_bytes(const QJsonObject& request) {
  return 4 + QJsonDocument(request).toJson(QJsonDocument::Compact).size();
}

// velixhost started through peak_rss, which writes its peak into a file of its own.
struct PeakFile {
  PeakFile() {
    char name[] = "/tmp/velix_peak.XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    path = name;
  }
  ~PeakFile() { unlink(path.c_str()); }
  std::vector<std::string> launcher() const { return {PEAK_RSS_PATH, path}; }
  long kib() const {
    long value = 0;
    if (FILE* in = std::fopen(path.c_str(), "r")) {
      if (std::fscanf(in, "%ld", &value) != 1) value = 0;
      std::fclose(in);
    }
    return value;
  }
  std::string path;
};

Run sign(const HostUser& user, const VirtualDisplay& display, const std::string& message) {
  Run result;
  const QJsonObject request = sign_message_request(message, {{"useUTF8", true}});
  result.requestBytes = request_bytes(request);
  const PeakFile peak;
  HostRun run(user, display.name(), request, {}, peak.launcher());
  const Desktop desktop(display.name());
  const auto window = desktop.wait_for_window("^User authorization", 60s, &run.process());
  if (!window || !desktop.type(*window, kPassphrase) || !desktop.press(*window, {"Return"})) {
    std::fprintf(stderr, "no authorization dialog to type into\n");
    return result;
  }
  std::string problem;
  const std::optional<QJsonObject> answer = run.response(120s, &problem);
  if (!answer) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    return result;
  }
  result.answerBytes = QJsonDocument(*answer).toJson(QJsonDocument::Compact).size();
  result.ok = (*answer)["error"].toInt(-1) == 0 && !(*answer)["result"].toObject()["value"].toString().isEmpty();
  result.peakKiB = peak.kib();
  return result;
}

// A request that shows nothing; ok when it is answered with `error`.
Run answered(const HostUser& user, const VirtualDisplay& display, const QJsonObject& request, int error) {
  Run result;
  result.requestBytes = request_bytes(request);
  const PeakFile peak;
  HostRun run(user, display.name(), request, {}, peak.launcher());
  std::string problem;
  const std::optional<QJsonObject> answer = run.response(120s, &problem);
  if (!answer) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    return result;
  }
  result.answerBytes = QJsonDocument(*answer).toJson(QJsonDocument::Compact).size();
  result.ok = (*answer)["error"].toInt(-1) == error;
  result.peakKiB = peak.kib();
  return result;
}

double ratio(const Run& run, const Run& idle) {
  return static_cast<double>(run.peakKiB - idle.peakKiB) * 1024.0 / static_cast<double>(run.requestBytes);
}

void report(const char* what, const std::vector<double>& ratios) {
  const Stats s = stats_of(ratios);
  std::printf("%s: extra peak RSS / request size min %.2fx median %.2fx max %.2fx (goal <= 3x)\n", what, s.min,
              s.median, s.max);
}

}  // namespace

int main() {
  const VirtualDisplay display;
  if (!display.ok()) {
    std::fprintf(stderr, "no virtual display: %s\n", display.error().c_str());
    return 1;
  }
  HostUser user;
  user.list_key("Bench key", user.add_file(std::string(VELIX_SOURCE_DIR) + "/tests/fixtures/secret.key", "secret.key"));

  // The small signing run first: the answer's size beyond the message
  // (document and JSON around it).
  const std::string small = "pay 1";
  const Run probe = sign(user, display, small);
  if (!probe.ok) return 1;
  const long overhead = probe.answerBytes - static_cast<long>(small.size());
  const std::string largest_message(static_cast<size_t>(kAnswerLimit - overhead - 64), 'x');
  const QJsonObject state{{"type", "velixcom"}, {"uid", "bench"}, {"action", "state"}, {"args", QJsonObject{}}};
  // 64 MiB with its length prefix, the most a browser sends.
  QJsonObject largest_request = sign_message_request("", {{"useUTF8", true}});
  const long frame_without_value = request_bytes(largest_request);
  QJsonObject args = largest_request["args"].toObject();
  args["value"] = QString(static_cast<int>(kRequestLimit + 4 - frame_without_value), 'x');
  largest_request["args"] = args;

  std::vector<double> signed_ratios, refused_ratios;
  Run large, refused;
  for (int i = 0; i < kRepeats; ++i) {
    const Run idle = sign(user, display, small);
    large = sign(user, display, largest_message);
    const Run quiet = answered(user, display, state, 0);
    refused = answered(user, display, largest_request, 1002);
    if (!idle.ok || !large.ok || !quiet.ok || !refused.ok) {
      std::fprintf(stderr, "a run failed (small %d, largest message %d, state %d, largest request %d)\n", idle.ok,
                   large.ok, quiet.ok, refused.ok);
      return 1;
    }
    signed_ratios.push_back(ratio(large, idle));
    refused_ratios.push_back(ratio(refused, quiet));
    std::printf("round %d: small signing %ld KiB, largest message %ld KiB; state %ld KiB, largest request %ld KiB\n",
                i + 1, idle.peakKiB, large.peakKiB, quiet.peakKiB, refused.peakKiB);
  }
  std::printf("largest signed message: request %ld bytes, answer %ld bytes\n", large.requestBytes, large.answerBytes);
  std::printf("largest request: %ld bytes, refused with an answer of %ld bytes\n", refused.requestBytes,
              refused.answerBytes);
  report("largest signed message", signed_ratios);
  report("largest request (refused)", refused_ratios);
  return 0;
}
