// Peak memory of velixhost signing the largest message whose answer a browser
// still takes (1 MiB), against a small message, through the real program: the
// request on a pipe, the passphrase typed into the authorization dialog on a
// private Xvfb display. Reports the extra peak RSS as a multiple of the
// request's size; the goal is at most 4.
#include <sys/resource.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "tests/e2e/desktop.h"
#include "tests/e2e/host_session.h"
#include "tests/e2e/virtual_display.h"

namespace {

using namespace std::chrono_literals;

constexpr long kAnswerLimit = 1024 * 1024;
constexpr char kPassphrase[] = "velix-test";

struct Signing {
  bool ok = false;
  long requestBytes = 0;
  long answerBytes = 0;
  long peakKiB = 0;  // the largest peak RSS of any child waited for so far
};

Signing sign(const HostUser& user, const VirtualDisplay& display, const std::string& message) {
  Signing result;
  const QJsonObject request = sign_message_request(message, {{"useUTF8", true}});
  result.requestBytes = 4 + QJsonDocument(request).toJson(QJsonDocument::Compact).size();
  HostRun run(user, display.name(), request);
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
  result.ok = (*answer)["error"].toInt(-1) == 0 &&
              !(*answer)["result"].toObject()["value"].toString().isEmpty();
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  result.peakKiB = usage.ru_maxrss;
  return result;
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

  // The small run first: the idle process's peak, and the answer's size
  // beyond the message (document and JSON around it).
  const std::string small = "pay 1";
  const Signing idle = sign(user, display, small);
  if (!idle.ok) return 1;
  const long overhead = idle.answerBytes - static_cast<long>(small.size());
  const Signing large = sign(user, display, std::string(kAnswerLimit - overhead - 64, 'x'));
  if (!large.ok) {
    std::fprintf(stderr, "the largest message did not sign\n");
    return 1;
  }
  const double ratio =
      static_cast<double>(large.peakKiB - idle.peakKiB) * 1024.0 / static_cast<double>(large.requestBytes);
  std::printf("idle process (signing %zu bytes): peak RSS %ld KiB\n", small.size(), idle.peakKiB);
  std::printf("largest request %ld bytes, answer %ld bytes: peak RSS %ld KiB\n", large.requestBytes,
              large.answerBytes, large.peakKiB);
  std::printf("extra peak RSS / request size: %.2fx (goal <= 4x)\n", ratio);
  return 0;
}
