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

 private:
  QTemporaryDir dir_;
  QProcessEnvironment extraEnv_;
};

// The response's body when `output` is exactly one well-formed frame; else empty.
QByteArray single_frame_body(const QByteArray& output);
