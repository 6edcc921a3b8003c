#include "host/host_logger.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/file_lock.h"

namespace {

const char* tag_of(QtMsgType type) {
  switch (type) {
    case QtDebugMsg: return "[D]";
    case QtWarningMsg: return "[W]";
    case QtCriticalMsg: return "[E]";
    case QtFatalMsg: return "[F]";
    case QtInfoMsg: return "[I]";
  }
  return "[?]";
}

// Logs hold request bodies: only the user may read them.
constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions kOwnerOnlyDir = kOwnerOnly | QFile::ExeOwner;

// "*.log" with the letter case ignored.
bool is_log_name(const std::u16string& name) {
  return name.size() >= 4 && QString::fromStdU16String(name.substr(name.size() - 4)).toLower() == ".log";
}

}  // namespace

HostLogger& HostLogger::instance() {
  static HostLogger logger;
  return logger;
}

HostLogger::~HostLogger() {
  // Messages from later destructors must not reach a closed logger.
  qInstallMessageHandler(nullptr);
}

QString HostLogger::fileName(const QDate& date, qint64 pid) {
  return date.toString("yyyy.MM.dd-") + QString::number(pid) + ".log";
}

QString HostLogger::formatLine(QtMsgType type, const QString& message, const QTime& time) {
  return time.toString("hh::mm::ss ") + tag_of(type) + ": " + message;
}

void HostLogger::initialise() {
  const QString directory = QDir::homePath() + QDir::separator() + QCoreApplication::applicationName();
  if (!QFileInfo(directory).isDir() && QDir().mkpath(directory))
    QFile::setPermissions(directory, kOwnerOnlyDir);
  remove_old_logs(directory, QDateTime::currentDateTime());

  if (file_.isOpen()) file_.close();
  file_.setFileName(directory + QDir::separator() +
                    fileName(QDate::currentDate(), QCoreApplication::applicationPid()));
  if (file_.open(QIODevice::Append | QIODevice::Text)) file_.setPermissions(kOwnerOnly);

  qInstallMessageHandler(&HostLogger::handleMessage);
  qDebug() << "run from " << QCoreApplication::applicationDirPath() << "\n";
}

void HostLogger::handleMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
  instance().write(type, message);
}

void HostLogger::write(QtMsgType type, const QString& message) {
  if (!file_.isOpen()) return;
  file_.write(formatLine(type, message, QTime::currentTime()).toUtf8());
  file_.write("\n");
  file_.flush();
}

void remove_old_logs(const QString& directory, const QDateTime& now) {
  // A lock on a file that stays in place, not a shared memory segment: the
  // system releases it when its holder ends, even when killed, where a
  // segment left behind would stop every later clean-up. Taking it writes
  // nothing to disk, so a run does not wait for the file system.
  const platform::ExclusiveFileLock guard(
      QFile::encodeName(directory + QDir::separator() + "clear_old_logs.lock").toStdString());
  if (!guard.held()) return;

  // A log is written only by the run that created it, so its last write
  // stands for its creation; birth times are not kept by every file system.
  // Logs written before the local midnight that starts the last kKeepDays - 1
  // days are kKeepDays or more midnights old. Comparing raw times keeps the
  // scan at one stat a file, however many logs a month of signing leaves.
  const auto cutoff = std::chrono::system_clock::time_point(std::chrono::milliseconds(
      QDateTime(now.date().addDays(1 - HostLogger::kKeepDays), QTime(0, 0)).toMSecsSinceEpoch()));
  namespace fs = std::filesystem;
  // Error codes, not exceptions: a directory that cannot be read ends the
  // clean-up, never the run.
  std::error_code listing;
  for (fs::directory_iterator it(fs::path(directory.toStdU16String()), listing), end; !listing && it != end;
       it.increment(listing)) {
    std::error_code error;
    if (!is_log_name(it->path().filename().u16string()) || !it->is_regular_file(error)) continue;
    const fs::file_time_type written = it->last_write_time(error);
    if (!error && std::chrono::file_clock::to_sys(written) < cutoff) fs::remove(it->path(), error);
  }
}
