// Time from process start to the authorization dialog being mapped on a
// private Xvfb display: velixhost asked to sign (one key listed, as a user
// has it) against a bare Qt program that shows a dialog of the same size,
// taking turns so all see the same machine load. Each program is ended once
// its window is up. velixhost's dialogs run without Qt's OpenGL integration;
// the bare program runs with Qt's defaults and once more without it, so the
// two parts of the difference show.
//
//   bench_time_to_dialog [rounds]     (default 20)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/sample_stats.h"
#include "bench/time_to_dialog/window_watch.h"
#include "tests/e2e/child_process.h"
#include "tests/e2e/host_session.h"
#include "tests/e2e/virtual_display.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kWindowWait = 30s;
// A payment order as a page sends it: the dialog shows it whole.
constexpr const char* kMessage =
    "PAYMENT ORDER 7781\r\nDate: 11.12.2026\r\nPayer: IVANOV I.I., account 40702810900000001234\r\n"
    "Payee: OOO Example, account 40702810500000005678\r\nAmount: 1,000.00 RUB\r\nPurpose: invoice 12\r\n";

double ms_between(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// Starts velixhost with a signing request; the window it maps, or nullopt.
std::optional<MappedWindow> velixhost_dialog(const HostUser& user, const std::string& display, WindowWatch& watch,
                                             double* ms) {
  const Clock::time_point start = Clock::now();
  HostRun run(user, display, sign_message_request(kMessage));
  const std::optional<MappedWindow> window = watch.wait_for_window_of(run.process().pid(), start + kWindowWait);
  if (!window) return std::nullopt;
  if (window->title.rfind("User authorization", 0) != 0) {
    std::fprintf(stderr, "velixhost showed \"%s\", not the authorization dialog\n", window->title.c_str());
    return std::nullopt;
  }
  *ms = ms_between(start, window->when);
  return window;  // the host is killed with `run`
}

// Starts the bare program in the same environment as velixhost, with Qt's
// OpenGL integration unless `without_gl`.
std::optional<MappedWindow> bare_dialog(const HostUser& user, const std::string& display, int width, int height,
                                        bool without_gl, WindowWatch& watch, double* ms) {
  EnvChanges env = user.environment(display);
  env["QT_XCB_GL_INTEGRATION"] = without_gl ? std::optional<std::string>("none") : std::nullopt;
  const Clock::time_point start = Clock::now();
  ChildProcess bare({VELIX_BIN_DIR "/bare_qt_dialog", std::to_string(width), std::to_string(height)}, env);
  const std::optional<MappedWindow> window = watch.wait_for_window_of(bare.pid(), start + kWindowWait);
  if (window) *ms = ms_between(start, window->when);
  return window;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  const VirtualDisplay display;
  if (!display.ok()) {
    std::fprintf(stderr, "no virtual display: %s\n", display.error().c_str());
    return 1;
  }
  WindowWatch watch(display.name());
  if (!watch.ok()) {
    std::fprintf(stderr, "cannot watch the display %s\n", display.name().c_str());
    return 1;
  }
  HostUser user;
  user.list_key("Bench key", user.add_file(std::string(VELIX_SOURCE_DIR) + "/tests/fixtures/secret.key", "secret.key"));

  // One untimed run each warms the page cache and gives the dialog's size.
  double ms = 0;
  const std::optional<MappedWindow> first = velixhost_dialog(user, display.name(), watch, &ms);
  if (!first) {
    std::fprintf(stderr, "velixhost showed no dialog\n");
    return 1;
  }
  if (!bare_dialog(user, display.name(), first->width, first->height, false, watch, &ms)) {
    std::fprintf(stderr, "the bare Qt program showed no dialog\n");
    return 1;
  }
  std::vector<double> host_ms, bare_ms, bare_no_gl_ms;
  for (int i = 0; i < rounds; ++i) {
    if (!velixhost_dialog(user, display.name(), watch, &ms)) {
      std::fprintf(stderr, "velixhost showed no dialog in round %d\n", i);
      return 1;
    }
    host_ms.push_back(ms);
    for (const bool without_gl : {false, true}) {
      if (!bare_dialog(user, display.name(), first->width, first->height, without_gl, watch, &ms)) {
        std::fprintf(stderr, "the bare Qt program showed no dialog in round %d\n", i);
        return 1;
      }
      (without_gl ? bare_no_gl_ms : bare_ms).push_back(ms);
    }
  }
  const Stats h = stats_of(host_ms), b = stats_of(bare_ms), n = stats_of(bare_no_gl_ms);
  std::printf("rounds: %d, dialog %dx%d on Xvfb %s\n", rounds, first->width, first->height, display.name().c_str());
  std::printf("  velixhost (authorization)    ms: min %7.2f  median %7.2f  max %7.2f\n", h.min, h.median, h.max);
  std::printf("  bare Qt dialog               ms: min %7.2f  median %7.2f  max %7.2f\n", b.min, b.median, b.max);
  std::printf("  bare Qt dialog, no OpenGL    ms: min %7.2f  median %7.2f  max %7.2f\n", n.min, n.median, n.max);
  std::printf("ratio (velixhost / bare):           min %.3f  median %.3f  max %.3f\n", h.min / b.min,
              h.median / b.median, h.max / b.max);
  std::printf("ratio (velixhost / bare, no OpenGL): min %.3f  median %.3f  max %.3f   goal <= 1.5\n", h.min / n.min,
              h.median / n.median, h.max / n.max);
  return 0;
}
