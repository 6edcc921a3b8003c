// The host's log: one file per run under ~/<application name>/, named by date
// and process id; every Qt message becomes one flushed line in it.
#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QtGlobal>

#include <string>

class HostLogger {
 public:
  // Created on first use, closed at process end.
  static HostLogger& instance();

  // Needs the application object: creates the log directory, removes old
  // logs, opens this run's file, installs the message handler and logs where
  // the program runs from. Failures are silent: the messages are then lost.
  void initialise();

  // "yyyy.MM.dd-<pid>.log" for the given day.
  static QString fileName(const QDate& date, qint64 pid);
  // The message with every control character (line feed, carriage return,
  // the others of C0 and C1, the line and paragraph separators) written as an
  // escape, so no text can start a line of its own. A line feed that ends the
  // message stays.
  static QString escapeControls(const QString& message);
  // "hh::mm::ss [T]: message" without the line end.
  static QString formatLine(QtMsgType type, const QString& message, const QTime& time);

  // What the log keeps of a text a request brought (a setting, a name): its
  // first kLoggedTextBytes bytes in UTF-8, never cut inside a character.
  // Callers add the whole length when the text was longer.
  static QString textStart(const QString& text);
  static constexpr int kLoggedTextBytes = 4096;
  // A message longer than this is cut too, whoever wrote it, with its length
  // after the cut: no request can make the log grow by more than a few
  // lines' worth.
  static constexpr int kMaxMessageCharacters = 8 * kLoggedTextBytes;

  // Logs whose creation is this many midnights or more in the past are removed.
  static constexpr int kKeepDays = 31;
  // The "*.log" files of the directory are kept under this many bytes in
  // all, the oldest removed first; a run leaves room for its own log.
  static constexpr qint64 kMaxDirectoryBytes = 16 * 1024 * 1024;
  static constexpr qint64 kRunReserveBytes = 64 * 1024;

  ~HostLogger();
  HostLogger(const HostLogger&) = delete;
  HostLogger& operator=(const HostLogger&) = delete;

 private:
  HostLogger() = default;
  static void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& message);
  // The settings store's notices (a damaged hive found or kept aside) go to the log.
  static void logSettingsNotice(const std::string& notice);
  void write(QtMsgType type, const QString& message);

  QFile file_;
};

// Removes the "*.log" files of `directory` created kKeepDays or more midnights
// before `now`, then the oldest of the rest while they take more than
// kMaxDirectoryBytes - kRunReserveBytes; nothing while another process is
// cleaning the directory.
void remove_old_logs(const QString& directory, const QDateTime& now);
