// The host's log file: where it goes, what it says, and the clean-up of old logs.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host_process.h"
#include "platform/file_lock.h"

namespace {

const QString kTime = R"(\d\d::\d\d::\d\d )";

TEST(HostLog, OneFilePerRunNamedByDateAndPid) {
  HostHome home;
  const HostRun run = home.run(frame(R"({"type":"x"})"));
  ASSERT_TRUE(run.finished);
  ASSERT_FALSE(run.logName.isEmpty()) << "no log named after the run's date and pid";
  EXPECT_TRUE(QRegularExpression(R"(^\d{4}\.\d\d\.\d\d-\d+\.log$)").match(run.logName).hasMatch());
  EXPECT_EQ(QDir(home.logDir()).entryList({"*.log"}, QDir::Files), QStringList{run.logName});
  // Request bodies are in it: only the user may read it.
  EXPECT_EQ(QFileInfo(home.logDir() + "/" + run.logName).permissions() & 0x0077, 0);

  const HostRun second = home.run(QByteArray());
  ASSERT_FALSE(second.logName.isEmpty());
  EXPECT_NE(second.logName, run.logName);
}

TEST(HostLog, LinesOfOneRequest) {
  HostHome home;
  const QByteArray body = R"({"type":"ab","uid":"q\"1","action":"go","args":{"k":"v"}})";
  ASSERT_EQ(body.size(), 57);
  const HostRun run = home.run(frame(body));
  ASSERT_TRUE(run.finished);
  const QByteArray response = single_frame_body(run.output);
  ASSERT_FALSE(response.isEmpty());

  const QStringList lines = run.logText.split('\n');
  const QString dir = QRegularExpression::escape(QFileInfo(VELIXHOST_PATH).absolutePath());
  const QStringList expected = {
      "\\[D\\]: run from  \"" + dir + "\" ",
      "",
      R"(\[D\]: New TASK)",
      R"(\[I\]: Income size:  57)",
      R"(\[I\]: "\{\\"type\\":\\"ab\\",\\"uid\\":\\"q\\\\\\"1\\",\\"action\\":\\"go\\",\\"args\\":\{\\"k\\":\\"v\\"\}\}")",
      "\\[I\\]: Outcome size:  " + QString::number(response.size()),
      "\\[I\\]: " + QRegularExpression::escape("\"" + QString(response).replace("\\", "\\\\").replace("\"", "\\\"") + "\""),
  };
  ASSERT_GE(lines.size(), expected.size()) << run.logText.toStdString();
  for (int i = 0; i < expected.size(); ++i) {
    const QString pattern = expected[i].isEmpty() ? "^$" : "^" + kTime + expected[i] + "$";
    EXPECT_TRUE(QRegularExpression(pattern).match(lines[i]).hasMatch())
        << "line " << i << ": " << lines[i].toStdString() << "\n  pattern: " << pattern.toStdString();
  }
}

void touch(const QString& path, const QDateTime& time) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("old\n");
  file.flush();
  ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
}

// Noon, so that the days back are exactly that many midnights back.
QDateTime days_ago(int days) { return QDateTime(QDate::currentDate().addDays(-days), QTime(12, 0)); }

TEST(HostLog, RemovesLogsOf31DaysOrMoreAndNothingElse) {
  HostHome home;
  ASSERT_TRUE(QDir().mkpath(home.logDir()));
  const QString dir = home.logDir() + "/";
  touch(dir + "old31.log", days_ago(31));
  touch(dir + "OLD45.LOG", days_ago(45));
  touch(dir + "kept30.log", days_ago(30));
  // Days are counted in local midnights, not in 24-hour spans.
  const QDate today = QDate::currentDate();
  touch(dir + "late31.log", QDateTime(today.addDays(-31), QTime(23, 59, 30)));
  touch(dir + "early30.log", QDateTime(today.addDays(-30), QTime(0, 0, 30)));
  touch(dir + "notes.txt", days_ago(400));
  touch(dir + "old.log.bak", days_ago(400));

  const HostRun run = home.run(QByteArray());
  ASSERT_TRUE(run.finished);
  EXPECT_FALSE(QFile::exists(dir + "old31.log"));
  EXPECT_FALSE(QFile::exists(dir + "OLD45.LOG"));
  EXPECT_TRUE(QFile::exists(dir + "kept30.log"));
  EXPECT_FALSE(QFile::exists(dir + "late31.log"));
  EXPECT_TRUE(QFile::exists(dir + "early30.log"));
  EXPECT_TRUE(QFile::exists(dir + "notes.txt"));
  EXPECT_TRUE(QFile::exists(dir + "old.log.bak"));
  EXPECT_TRUE(QFile::exists(dir + run.logName));
}

TEST(HostLog, NoCleanUpWhileAnotherProcessCleans) {
  HostHome home;
  ASSERT_TRUE(QDir().mkpath(home.logDir()));
  const QString dir = home.logDir() + "/";
  touch(dir + "old31.log", days_ago(31));

  {
    const platform::ExclusiveFileLock guard(QFile::encodeName(dir + "clear_old_logs.lock").toStdString());
    ASSERT_TRUE(guard.held());
    ASSERT_TRUE(home.run(QByteArray()).finished);
    EXPECT_TRUE(QFile::exists(dir + "old31.log"));
  }
  // Released, the guard lets the next run clean.
  ASSERT_TRUE(home.run(QByteArray()).finished);
  EXPECT_FALSE(QFile::exists(dir + "old31.log"));
}

// A host killed while cleaning leaves its guard's file behind; that must not
// stop every later clean-up.
TEST(HostLog, GuardOfAKilledProcessIsReleased) {
  HostHome home;
  ASSERT_TRUE(QDir().mkpath(home.logDir()));
  const QString dir = home.logDir() + "/";
  touch(dir + "old31.log", days_ago(31));
  const std::string guard_path = QFile::encodeName(dir + "clear_old_logs.lock").toStdString();

  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t cleaner = fork();
  ASSERT_GE(cleaner, 0);
  if (cleaner == 0) {
    const platform::ExclusiveFileLock guard(guard_path);
    const char held = guard.held() ? 'y' : 'n';
    (void)!write(ready[1], &held, 1);
    pause();
    _exit(0);
  }
  // Killed however the test ends, so no paused child outlives it.
  struct Killer {
    pid_t pid;
    void now() {
      if (pid <= 0) return;
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      pid = 0;
    }
    ~Killer() { now(); }
  } killer{cleaner};
  close(ready[1]);
  char held = 0;
  ASSERT_EQ(read(ready[0], &held, 1), 1);
  close(ready[0]);
  ASSERT_EQ(held, 'y');
  EXPECT_FALSE(platform::ExclusiveFileLock(guard_path).held()) << "the other process holds the guard";

  killer.now();
  ASSERT_TRUE(QFile::exists(dir + "clear_old_logs.lock"));
  ASSERT_TRUE(home.run(QByteArray()).finished);
  EXPECT_FALSE(QFile::exists(dir + "old31.log"));
}

}  // namespace
