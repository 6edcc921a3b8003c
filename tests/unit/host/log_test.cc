// The host's log file: where it goes, what it says, and the clean-up of old logs.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>

#include "host_process.h"

namespace {

const QString kTime = R"(\d\d::\d\d::\d\d )";

TEST(HostLog, OneFilePerRunNamedByDateAndPid) {
  HostHome home;
  const HostRun run = home.run(frame(R"({"type":"x"})"));
  ASSERT_TRUE(run.finished);
  ASSERT_FALSE(run.logName.isEmpty()) << "no log named after the run's date and pid";
  EXPECT_TRUE(QRegularExpression(R"(^\d{4}\.\d\d\.\d\d-\d+\.log$)").match(run.logName).hasMatch());
  EXPECT_EQ(QDir(home.logDir()).entryList(QDir::Files), QStringList{run.logName});
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
  touch(dir + "notes.txt", days_ago(400));
  touch(dir + "old.log.bak", days_ago(400));

  const HostRun run = home.run(QByteArray());
  ASSERT_TRUE(run.finished);
  EXPECT_FALSE(QFile::exists(dir + "old31.log"));
  EXPECT_FALSE(QFile::exists(dir + "OLD45.LOG"));
  EXPECT_TRUE(QFile::exists(dir + "kept30.log"));
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
    QLockFile guard(dir + "clear_old_logs.lock");
    ASSERT_TRUE(guard.tryLock(0));
    ASSERT_TRUE(home.run(QByteArray()).finished);
    EXPECT_TRUE(QFile::exists(dir + "old31.log"));
  }
  // Released, the guard lets the next run clean.
  ASSERT_TRUE(home.run(QByteArray()).finished);
  EXPECT_FALSE(QFile::exists(dir + "old31.log"));
}

// A host killed while cleaning leaves its guard behind; that must not stop
// every later clean-up.
TEST(HostLog, GuardLeftByAKilledProcessIsTakenOver) {
  HostHome home;
  ASSERT_TRUE(QDir().mkpath(home.logDir()));
  const QString dir = home.logDir() + "/";
  touch(dir + "old31.log", days_ago(31));
  {
    QFile guard(dir + "clear_old_logs.lock");
    ASSERT_TRUE(guard.open(QIODevice::WriteOnly));
    guard.write("2147483646\nvelixhost\nanother-host\n");
    guard.flush();
    ASSERT_TRUE(guard.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
  }
  ASSERT_TRUE(home.run(QByteArray()).finished);
  EXPECT_FALSE(QFile::exists(dir + "old31.log"));
}

}  // namespace
