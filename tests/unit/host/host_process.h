// Runs the real velixhost as a browser does: pipes on standard input and
// output, HOME in a temporary directory, no display.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>

QByteArray frame(const QByteArray& body);

struct HostRun {
  bool finished = false;
  int exitCode = -1;
  QProcess::ExitStatus exitStatus = QProcess::CrashExit;
  QByteArray output;  // everything written to standard output
  QByteArray errors;  // everything written to standard error
  QString logText;    // this run's log file, empty when there is none
  QString logName;    // its file name
};

class HostHome {
 public:
  HostHome();
  QString home() const { return dir_.path(); }
  QString logDir() const { return dir_.path() + "/velixhost"; }
  // Sets a variable of the program's environment for the runs that follow.
  void setEnv(const QString& name, const QString& value) { extraEnv_.insert(name, value); }

  // Writes `input`, closes standard input unless `keepInputOpen`, and waits.
  HostRun run(const QByteArray& input, bool keepInputOpen = false) const;
  // Runs a shell script that ends by exec'ing velixhost (so its pid is the
  // shell's), with `input` on standard input.
  HostRun runThroughShell(const QString& script, const QByteArray& input) const;
  // The same, with the reading end of standard output closed before the
  // request is written: a browser that has gone away.
  HostRun runWithoutReader(const QByteArray& input) const;

 private:
  QProcessEnvironment environment() const;
  HostRun runProgram(const QString& program, const QStringList& arguments, const QByteArray& input,
                     bool keepInputOpen) const;
  // Fills the log fields for the run of `pid` that started on `startDay`.
  void readLog(HostRun& run, qint64 pid, const QDate& startDay) const;

  QTemporaryDir dir_;
  QProcessEnvironment extraEnv_;
};

// The response's body when `output` is exactly one well-formed frame; else empty.
QByteArray single_frame_body(const QByteArray& output);
