#include "host_process.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QtEndian>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

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

QProcessEnvironment HostHome::environment() const {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
  env.insert("HOME", home());
  env.insert("XDG_RUNTIME_DIR", home());
  env.insert("XDG_CONFIG_HOME", home() + "/.config");  // the registry hives
  env.insert("XDG_STATE_HOME", home() + "/.local/state");  // the signature journal
  // The machine's own site policy is not the test's.
  env.insert("VELIX_POLICY_FILE", home() + "/policy.conf");
  env.insert(extraEnv_);
  return env;
}

void HostHome::readLog(HostRun& run, qint64 pid, const QDate& startDay) const {
  // The run may straddle midnight: its file carries the date it started on.
  for (const QDate& day : {startDay, QDate::currentDate()}) {
    const QString name = day.toString("yyyy.MM.dd-") + QString::number(pid) + ".log";
    QFile file(logDir() + "/" + name);
    if (file.open(QIODevice::ReadOnly)) {
      run.logName = name;
      run.logText = QString::fromUtf8(file.readAll());
      break;
    }
  }
}

HostRun HostHome::run(const QByteArray& input, bool keepInputOpen) const {
  return runProgram(VELIXHOST_PATH, {}, input, keepInputOpen);
}

HostRun HostHome::runThroughShell(const QString& script, const QByteArray& input) const {
  return runProgram("/bin/sh", {"-c", script}, input, false);
}

HostRun HostHome::runProgram(const QString& program, const QStringList& arguments, const QByteArray& input,
                             bool keepInputOpen) const {
  QProcess process;
  process.setProcessEnvironment(environment());
  const QDate dayBefore = QDate::currentDate();
  process.start(program, arguments);
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
  run.errors = process.readAllStandardError();
  readLog(run, pid, dayBefore);
  return run;
}

HostRun HostHome::runWithoutReader(const QByteArray& input) const {
  signal(SIGPIPE, SIG_IGN);  // a host that ended early must not end the test
  HostRun run;
  std::vector<std::string> variables;
  for (const QString& variable : environment().toStringList()) variables.push_back(variable.toStdString());
  std::vector<char*> envp;
  for (std::string& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);
  char program[] = VELIXHOST_PATH;
  char* argv[] = {program, nullptr};

  int in[2], out[2];
  if (pipe(in) != 0) return run;
  if (pipe(out) != 0) {
    close(in[0]);
    close(in[1]);
    return run;
  }
  const QDate dayBefore = QDate::currentDate();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
    execve(program, argv, envp.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(out[0]);  // nobody reads the answer
  if (pid < 0) {
    close(in[1]);
    return run;
  }
  (void)!write(in[1], input.constData(), static_cast<size_t>(input.size()));
  close(in[1]);

  int status = 0;
  for (int waited_ms = 0; waited_ms < 20000 && !run.finished; waited_ms += 10) {
    run.finished = waitpid(pid, &status, WNOHANG) == pid;
    if (!run.finished) usleep(10000);
  }
  if (!run.finished) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  run.exitStatus = WIFEXITED(status) ? QProcess::NormalExit : QProcess::CrashExit;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  readLog(run, pid, dayBefore);
  return run;
}
