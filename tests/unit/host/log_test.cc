// The host's log file: where it goes, what it says, and the clean-up of old logs.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host/host_logger.h"
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

TEST(HostLog, FileNamesAndLineTimesHaveFixedWidthFields) {
  EXPECT_EQ(HostLogger::fileName(QDate(2026, 1, 5), 42), "2026.01.05-42.log");
  EXPECT_EQ(HostLogger::fileName(QDate(987, 12, 31), 4194304), "0987.12.31-4194304.log");
  EXPECT_EQ(HostLogger::formatLine(QtInfoMsg, "x", QTime(7, 3, 9)), "07::03::09 [I]: x");
  EXPECT_EQ(HostLogger::formatLine(QtDebugMsg, "", QTime(23, 59, 59, 999)), "23::59::59 [D]: ");
  EXPECT_EQ(HostLogger::formatLine(QtWarningMsg, "%s %d", QTime(0, 0)), "00::00::00 [W]: %s %d");
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
      R"(\[I\]: No dialogs, every one answers as Cancel: no display: .+)",
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

// A page's text holds line breaks and other control characters: none of them
// may start a line that looks like the host's own.
TEST(HostLog, ControlCharactersInTextsCannotStartALine) {
  HostHome home;
  const QString forged = QStringLiteral("ok\n00::00::00 [I]: forged\r\u001b[2J\u0085\u2028x\t");
  const QJsonObject request{{"type", "velixcom"}, {"uid", forged}, {"action", "session"}, {"args", QJsonObject{{"value", forged}}}};
  const HostRun run = home.run(frame(QJsonDocument(request).toJson(QJsonDocument::Compact)));
  ASSERT_TRUE(run.finished);
  ASSERT_FALSE(single_frame_body(run.output).isEmpty());

  const QStringList lines = run.logText.split('\n');
  int forgedMentions = 0;
  for (const QString& line : lines) {
    if (line.isEmpty()) continue;
    EXPECT_TRUE(QRegularExpression("^" + kTime + R"(\[[DIWEF]\]: )").match(line).hasMatch()) << line.toStdString();
    if (line.contains("forged")) ++forgedMentions;
    EXPECT_FALSE(QRegularExpression("^" + kTime + R"(\[I\]: forged)").match(line).hasMatch()) << line.toStdString();
    for (const QChar c : line)
      EXPECT_FALSE(c < QChar(0x20) || (c >= QChar(0x7F) && c <= QChar(0x9F)) || c == QChar(0x2028))
          << "raw control character " << c.unicode() << " in: " << line.toStdString();
  }
  // The request body, the Setup line and the answer, each on its own line.
  EXPECT_EQ(forgedMentions, 3) << run.logText.toStdString();
  EXPECT_TRUE(run.logText.contains(R"(Setup value: "ok\n00::00::00 [I]: forged\r)")) << run.logText.toStdString();
}

TEST(HostLog, DirectoryIsTightenedAndTheFileNeverOpensThroughALink) {
  HostHome home;
  ASSERT_TRUE(QDir().mkpath(home.logDir()));
  ASSERT_EQ(chmod(QFile::encodeName(home.logDir()).constData(), 0777), 0);
  // The run's own log name, planted as a link before velixhost starts: the
  // shell knows its pid and keeps it through exec.
  const QString victim = home.home() + "/victim";
  {
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep\n");
  }
  home.setEnv("VICTIM", victim);
  home.setEnv("LOG_DIR", home.logDir());
  const HostRun run = home.runThroughShell(
      R"(ln -s "$VICTIM" "$LOG_DIR/$(date +%Y.%m.%d)-$$.log" && exec ")" VELIXHOST_PATH "\"",
      frame(R"({"type":"velixcom","action":"version"})"));
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_FALSE(single_frame_body(run.output).isEmpty()) << "no answer without a log";
  QFile file(victim);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), "keep\n") << "the log was written through the link";
  EXPECT_TRUE(QFileInfo(home.logDir() + "/" + run.logName).isSymLink());

  struct stat st {};
  ASSERT_EQ(stat(QFile::encodeName(home.logDir()).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);

  // A file of ours already there (same pid after a reboot) is appended to
  // and made private.
  const HostRun next = home.run(frame(R"({"type":"x"})"));
  ASSERT_FALSE(next.logName.isEmpty());
  ASSERT_EQ(stat(QFile::encodeName(home.logDir() + "/" + next.logName).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

void sized_log(const QString& path, qint64 size, const QDateTime& time) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  ASSERT_TRUE(file.resize(size));
  file.close();
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
}

// Recent logs that add up to more than the cap go oldest first; other files
// are neither counted nor removed.
TEST(HostLog, DirectoryIsKeptUnderItsSizeCap) {
  HostHome home;
  ASSERT_TRUE(QDir().mkpath(home.logDir()));
  const QString dir = home.logDir() + "/";
  const qint64 part = HostLogger::kMaxDirectoryBytes / 8;
  const QDateTime now = QDateTime::currentDateTime();
  for (int i = 0; i < 12; ++i) sized_log(dir + QString("run%1.log").arg(i, 2, 10, QChar('0')), part, now.addSecs(-600 + i * 10));
  sized_log(dir + "notes.txt", 4 * part, now.addSecs(-3600));

  const HostRun run = home.run(QByteArray());
  ASSERT_TRUE(run.finished);
  qint64 total = 0;
  QStringList kept;
  for (const QFileInfo& info : QDir(dir).entryInfoList({"*.log"}, QDir::Files)) {
    total += info.size();
    kept << info.fileName();
  }
  EXPECT_LE(total, HostLogger::kMaxDirectoryBytes);
  EXPECT_FALSE(kept.contains("run00.log")) << kept.join(' ').toStdString();
  EXPECT_FALSE(kept.contains("run04.log")) << kept.join(' ').toStdString();
  EXPECT_TRUE(kept.contains("run05.log")) << kept.join(' ').toStdString();  // as much as fits stays
  EXPECT_TRUE(kept.contains("run11.log"));
  EXPECT_TRUE(kept.contains(run.logName));
  EXPECT_TRUE(QFile::exists(dir + "notes.txt"));
}

// A big request or answer leaves its first 4 KiB and its length in the log.
TEST(HostLog, BodiesAreCutToTheirStartAndLength) {
  HostHome home;
  // Two-byte characters, so the cut would fall inside one.
  const QString text(300 * 1000, QChar(0x0416));
  const QByteArray body =
      QJsonDocument(QJsonObject{{"type", "x"}, {"args", QJsonObject{{"tt", text}}}}).toJson(QJsonDocument::Compact);
  const HostRun run = home.run(frame(body));
  ASSERT_TRUE(run.finished);
  const QByteArray response = single_frame_body(run.output);
  ASSERT_FALSE(response.isEmpty());
  EXPECT_LT(QFileInfo(home.logDir() + "/" + run.logName).size(), 32 * 1024);
  const QString head = QString::fromUtf8(body.left(4095));  // 4096 would split the last character
  EXPECT_TRUE(run.logText.contains("\"" + QString(head).replace("\"", "\\\"") + "\" ... cut, the body has " +
                                   QString::number(body.size()) + " bytes\n"))
      << run.logText.left(300).toStdString();
  EXPECT_TRUE(run.logText.contains("... cut, the body has " + QString::number(response.size()) + " bytes\n"));
}

// Texts a request sets (a session, an action's name) can be megabytes of
// characters the log escapes: the log keeps their start and their length.
TEST(HostLog, SettingTextsAreCutToTheirStartAndLength) {
  struct Case {
    const char* what;
    QJsonObject request;
    QString expected;
  };
  const QString c1(600 * 1000, QChar(0x0085));  // six bytes each once escaped, in the request too
  const QString name(512 * 1024, QChar('a'));
  const Case cases[] = {
      {"session", {{"type", "velixcom"}, {"action", "session"}, {"args", QJsonObject{{"value", c1}}}},
       "Setup value: \"" + QString("\\u0085").repeated(4096 / 2) + "\" ... cut, the text has " +
           QString::number(c1.size()) + " characters\n"},
      {"action name", {{"type", "velixcom"}, {"action", name}, {"args", QJsonObject{}}},
       "Begin handle  \"" + name.left(4096) + "\" ... cut, the name has " + QString::number(name.size()) +
           " characters\n"},
  };
  for (const Case& c : cases) {
    HostHome home;
    const HostRun run = home.run(frame(QJsonDocument(c.request).toJson(QJsonDocument::Compact)));
    ASSERT_TRUE(run.finished) << c.what;
    ASSERT_FALSE(single_frame_body(run.output).isEmpty()) << c.what;
    EXPECT_LT(QFileInfo(home.logDir() + "/" + run.logName).size(), 64 * 1024) << c.what;
    EXPECT_TRUE(run.logText.contains(c.expected)) << c.what << ": " << run.logText.left(2000).toStdString();
  }
}

// The settings store's notices are in the log: a damaged hive that a
// request only reads stays as it is; one that a request changes is kept
// aside, and the log says where.
TEST(HostLog, DamagedSettingsAreToldAndOnlyAChangeKeepsThemAside) {
  HostHome home;
  const QString dir = home.home() + "/.config/velixcom";
  ASSERT_TRUE(QDir().mkpath(dir));
  const QByteArray damaged = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SoftWare\\VelixCom]\r\n"
                             "\"VK\"=dword:00000001\r\n\"broken\"=dword:zz\r\n";
  {
    QFile hive(dir + "/HKEY_CURRENT_USER.reg");
    ASSERT_TRUE(hive.open(QIODevice::WriteOnly));
    hive.write(damaged);
  }
  const auto hive_text = [&] {
    QFile hive(dir + "/HKEY_CURRENT_USER.reg");
    return hive.open(QIODevice::ReadOnly) ? hive.readAll() : QByteArray();
  };
  const HostRun read = home.run(frame(R"({"type":"velixcom","action":"state"})"));
  ASSERT_TRUE(read.finished);
  EXPECT_TRUE(read.logText.contains("[W]: " + dir + "/HKEY_CURRENT_USER.reg is damaged")) << read.logText.toStdString();
  EXPECT_EQ(hive_text(), damaged);
  EXPECT_TRUE(QDir(dir).entryList({"*.damaged-*"}, QDir::Files).isEmpty());

  const HostRun change = home.run(frame(R"({"type":"velixcom","action":"useScreenKbd","args":{"value":false}})"));
  ASSERT_TRUE(change.finished);
  const QStringList copies = QDir(dir).entryList({"*.damaged-*"}, QDir::Files);
  ASSERT_EQ(copies.size(), 1);
  EXPECT_TRUE(change.logText.contains("is kept as " + dir + "/" + copies[0])) << change.logText.toStdString();
  EXPECT_TRUE(hive_text().contains("\"VK\"=dword:00000000"));
}

}  // namespace
