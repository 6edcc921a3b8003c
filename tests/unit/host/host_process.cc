#include "host_process.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QtEndian>

QByteArray frame(const QByteArray& body) {
  const auto length = qToLittleEndian(static_cast<uint32_t>(body.size()));
  return QByteArray(reinterpret_cast<const char*>(&length), sizeof length) + body;
}

QByteArray single_frame_body(const QByteArray& output) {
  if (output.size() < 4) return {};
  const uint32_t length = qFromLittleEndian<uint32_t>(output.constData());
  if (output.size() != static_cast<int>(4 + length)) return {};
  return output.mid(4);
}

HostHome::HostHome() = default;

HostRun HostHome::run(const QByteArray& input, bool keepInputOpen) const {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
  env.insert("HOME", home());
  env.insert("XDG_RUNTIME_DIR", home());
  env.insert("XDG_CONFIG_HOME", home() + "/.config");  // the registry hives
  env.insert(extraEnv_);

  QProcess process;
  process.setProcessEnvironment(env);
  const QDate dayBefore = QDate::currentDate();
  process.start(VELIXHOST_PATH, QStringList());
  HostRun run;
  if (!process.waitForStarted(10000)) return run;
  const qint64 pid = process.processId();
  process.write(input);
  process.waitForBytesWritten(10000);
  if (!keepInputOpen) process.closeWriteChannel();
  run.finished = process.waitForFinished(20000);
  if (!run.finished) {
    process.kill();
    process.waitForFinished(5000);
  }
  run.exitCode = process.exitCode();
  run.exitStatus = process.exitStatus();
  run.output = process.readAllStandardOutput();

  // The run may straddle midnight: its file carries the date it started on.
  for (const QDate& day : {dayBefore, QDate::currentDate()}) {
    const QString name = day.toString("yyyy.MM.dd-") + QString::number(pid) + ".log";
    QFile file(logDir() + "/" + name);
    if (file.open(QIODevice::ReadOnly)) {
      run.logName = name;
      run.logText = QString::fromUtf8(file.readAll());
      break;
    }
  }
  return run;
}
