#include "host/host_logger.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

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
  // A lock file, not a shared memory segment: a process killed while cleaning
  // leaves a stale lock that the next one detects and takes over, where a
  // leftover segment would stop every later clean-up.
  QLockFile guard(directory + QDir::separator() + "clear_old_logs.lock");
  if (!guard.tryLock(0)) return;

  const QDir dir(directory, "*.log", QDir::Name | QDir::IgnoreCase, QDir::Files);
  for (const QFileInfo& entry : dir.entryInfoList()) {
    // A log is written only by the run that created it, so its last write
    // stands for its creation; birth times are not kept by every file system.
    if (entry.lastModified().daysTo(now) >= HostLogger::kKeepDays) QFile::remove(entry.filePath());
  }
}
