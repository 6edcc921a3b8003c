// Whole-process round trip of one small request through velixhost (start,
// read, answer, exit) against bare Qt programs doing the same framing (a
// QApplication one and a QCoreApplication one), taking turns so all see the
// same machine load.
//
//   bench_host_roundtrip [rounds]     (default 40)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const QByteArray kBody = R"({"type":"velixcom","uid":"42","action":"version","args":{}})";

QByteArray framed(const QByteArray& body) {
  const auto length = static_cast<uint32_t>(body.size());
  return QByteArray(reinterpret_cast<const char*>(&length), sizeof length) + body;
}

// Milliseconds from start to exit, or a negative value when the run failed.
double round_trip(const QString& program, const QProcessEnvironment& env) {
  QProcess process;
  process.setProcessEnvironment(env);
  QElapsedTimer timer;
  timer.start();
  process.start(program, QStringList());
  if (!process.waitForStarted(10000)) return -1;
  process.write(framed(kBody));
  process.closeWriteChannel();
  if (!process.waitForFinished(10000) || process.exitCode() != 0) return -1;
  const double ms = timer.nsecsElapsed() / 1e6;
  return process.readAllStandardOutput().size() > 4 ? ms : -1;
}

struct Stats {
  double min, median, max;
};

Stats stats_of(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  const size_t n = samples.size();
  const double median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
  return {samples.front(), median, samples.back()};
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;

  QTemporaryDir home, runtime;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("HOME", home.path());
  env.insert("XDG_RUNTIME_DIR", runtime.path());

  const QString host = VELIX_BIN_DIR "/velixhost";
  const QString bare = VELIX_BIN_DIR "/bare_qt_host";
  const QString core = VELIX_BIN_DIR "/bare_core_host";
  // One untimed run each warms the page cache.
  if (round_trip(host, env) < 0 || round_trip(bare, env) < 0 || round_trip(core, env) < 0) {
    std::fprintf(stderr, "a program failed to answer\n");
    return 1;
  }
  std::vector<double> host_ms, bare_ms, core_ms;
  for (int i = 0; i < rounds; ++i) {
    const double h = round_trip(host, env);
    const double b = round_trip(bare, env);
    const double c = round_trip(core, env);
    if (h < 0 || b < 0 || c < 0) {
      std::fprintf(stderr, "a program failed to answer in round %d\n", i);
      return 1;
    }
    host_ms.push_back(h);
    bare_ms.push_back(b);
    core_ms.push_back(c);
  }
  const Stats h = stats_of(host_ms), b = stats_of(bare_ms), c = stats_of(core_ms);
  std::printf("rounds: %d\n", rounds);
  std::printf("velixhost     ms: min %.2f  median %.2f  max %.2f\n", h.min, h.median, h.max);
  std::printf("bare Qt host  ms: min %.2f  median %.2f  max %.2f\n", b.min, b.median, b.max);
  std::printf("bare Qt core host ms: min %.2f  median %.2f  max %.2f\n", c.min, c.median, c.max);
  std::printf("ratio (velixhost / bare QApplication): min %.3f  median %.3f  max %.3f   goal <= 0.6\n",
              h.min / b.min, h.median / b.median, h.max / b.max);
  std::printf("ratio (velixhost / bare QCoreApplication): min %.3f  median %.3f  max %.3f\n",
              h.min / c.min, h.median / c.median, h.max / c.max);
  return 0;
}
