// Whole-process round trip of the requests that show no dialog (version, a
// setting, reset) through velixhost (start, read, answer, exit) against bare
// Qt programs doing the same framing (a QApplication one and a
// QCoreApplication one), taking turns so all see the same machine load. A
// request of another type, which velixhost answers without starting the
// signer (its engines and token modules), shows what that start costs. Then
// what the dynamic loader did for each program (LD_DEBUG): the libraries it
// loaded, dlopen'ed ones included, and the symbol relocations it processed.
//
//   bench_host_roundtrip [rounds]     (default 40)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/sample_stats.h"

namespace {

struct Program {
  const char* label;
  QString path;
  QByteArray body;  // the request it is given
  std::vector<double> ms = {};
};

QByteArray framed(const QByteArray& body) {
  const auto length = static_cast<uint32_t>(body.size());
  return QByteArray(reinterpret_cast<const char*>(&length), sizeof length) + body;
}

// Milliseconds from start to exit, or a negative value when the run failed.
// The standard error is kept in *errors when asked for.
double round_trip(const Program& program, const QProcessEnvironment& env, QByteArray* errors = nullptr) {
  QProcess process;
  process.setProcessEnvironment(env);
  QElapsedTimer timer;
  timer.start();
  process.start(program.path, QStringList());
  if (!process.waitForStarted(10000)) return -1;
  process.write(framed(program.body));
  process.closeWriteChannel();
  if (!process.waitForFinished(10000) || process.exitCode() != 0) return -1;
  const double ms = timer.nsecsElapsed() / 1e6;
  if (errors != nullptr) *errors = process.readAllStandardError();
  return process.readAllStandardOutput().size() > 4 ? ms : -1;
}

void print_ratio(const char* label, const Stats& a, const Stats& b, const char* goal) {
  std::printf("  %-44s min %.3f  median %.3f  max %.3f%s\n", label, a.min / b.min, a.median / b.median,
              a.max / b.max, goal);
}

// One run with LD_DEBUG: how many libraries the loader mapped and how many
// symbol relocations it processed.
void print_loader_work(const Program& program, QProcessEnvironment env) {
  QByteArray files, statistics;
  env.insert("LD_DEBUG", "files");
  const bool ran = round_trip(program, env, &files) >= 0;
  env.insert("LD_DEBUG", "statistics");
  if (!ran || round_trip(program, env, &statistics) < 0) {
    std::printf("  %-22s (no answer under LD_DEBUG)\n", program.label);
    return;
  }
  const int libraries = QString::fromLocal8Bit(files).count(QStringLiteral("generating link map"));
  const QRegularExpressionMatch relocations =
      QRegularExpression(QStringLiteral("final number of relocations: (\\d+)")).match(QString::fromLocal8Bit(statistics));
  std::printf("  %-22s libraries %3d  symbol relocations %s\n", program.label, libraries,
              relocations.hasMatch() ? qPrintable(relocations.captured(1)) : "?");
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
  env.insert("XDG_CONFIG_HOME", home.path() + "/.config");

  const QString host = VELIX_BIN_DIR "/velixhost";
  const QByteArray version = R"({"type":"velixcom","uid":"42","action":"version","args":{}})";
  std::vector<Program> programs = {
      {"velixhost version", host, version},
      {"velixhost useUTF8", host, R"({"type":"velixcom","uid":"43","action":"useUTF8","args":{"value":true}})"},
      {"velixhost reset", host, R"({"type":"velixcom","uid":"44","action":"reset"})"},
      {"velixhost, no signer", host, R"({"type":"other","uid":"45","action":"version"})"},
      {"bare QApplication", VELIX_BIN_DIR "/bare_qt_host", version},
      {"bare QCoreApplication", VELIX_BIN_DIR "/bare_core_host", version},
  };
  const size_t kBare = 4, kCore = 5;
  // One untimed run each warms the page cache.
  for (const Program& program : programs) {
    if (round_trip(program, env) < 0) {
      std::fprintf(stderr, "%s failed to answer\n", program.label);
      return 1;
    }
  }
  for (int i = 0; i < rounds; ++i) {
    for (Program& program : programs) {
      const double ms = round_trip(program, env);
      if (ms < 0) {
        std::fprintf(stderr, "%s failed to answer in round %d\n", program.label, i);
        return 1;
      }
      program.ms.push_back(ms);
    }
  }
  std::printf("rounds: %d (no display, HOME fresh, the machine's token modules as installed)\n", rounds);
  std::vector<Stats> stats;
  for (const Program& program : programs) {
    stats.push_back(stats_of(program.ms));
    std::printf("  %-22s ms: min %7.2f  median %7.2f  max %7.2f\n", program.label, stats.back().min,
                stats.back().median, stats.back().max);
  }
  std::printf("ratios:\n");
  for (size_t i = 0; i < kBare; ++i) {
    const QByteArray label = QByteArray(programs[i].label) + " / bare QApplication";
    print_ratio(label.constData(), stats[i], stats[kBare], "   goal <= 0.6");
  }
  for (size_t i = 0; i < kBare; ++i) {
    const QByteArray label = QByteArray(programs[i].label) + " / bare QCoreApplication";
    print_ratio(label.constData(), stats[i], stats[kCore], "");
  }
  print_ratio("bare QCoreApplication / bare QApplication", stats[kCore], stats[kBare], "");
  std::printf("dynamic loader (one run each):\n");
  for (size_t i : {size_t{0}, kBare, kCore}) print_loader_work(programs[i], env);
  return 0;
}
