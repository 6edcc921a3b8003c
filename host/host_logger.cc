#include "host/host_logger.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/file_lock.h"
#include "platform/private_files.h"
#include "platform/registry.h"

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

// "*.log" with the letter case ignored.
bool is_log_name(const std::u16string& name) {
  return name.size() >= 4 && QString::fromStdU16String(name.substr(name.size() - 4)).toLower() == ".log";
}

// A path as the platform layer takes it: UTF-8 on Windows, which it widens
// itself (the ANSI page cannot spell every user's folder name), and the file
// system's own bytes elsewhere.
std::string platform_path(const QString& path) {
#ifdef _WIN32
  return path.toStdString();
#else
  return QFile::encodeName(path).toStdString();
#endif
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

// Dates and times are formatted by hand: QDate/QTime::toString with a
// format goes through the locale machinery, a cost on every log line.
QString HostLogger::fileName(const QDate& date, qint64 pid) {
  return QString::asprintf("%04d.%02d.%02d-%lld.log", date.year(), date.month(), date.day(),
                           static_cast<long long>(pid));
}

QString HostLogger::formatLine(QtMsgType type, const QString& message, const QTime& time) {
  return QString::asprintf("%02d::%02d::%02d ", time.hour(), time.minute(), time.second()) + tag_of(type) + ": " +
         message;
}

QString HostLogger::textStart(const QString& text) {
  int cut = std::min<int>(static_cast<int>(text.size()), kLoggedTextBytes);
  if (cut < text.size() && text[cut].isLowSurrogate()) --cut;
  QByteArray start = text.left(cut).toUtf8();
  if (start.size() <= kLoggedTextBytes) return QString::fromUtf8(start);
  int bytes = kLoggedTextBytes;
  while (bytes > 0 && (static_cast<unsigned char>(start[bytes]) & 0xC0) == 0x80) --bytes;
  return QString::fromUtf8(start.constData(), bytes);
}

QString HostLogger::escapeControls(const QString& message) {
  QString escaped;
  escaped.reserve(message.size());
  for (int i = 0; i < message.size(); ++i) {
    const char16_t c = message[i].unicode();
    // A line feed that ends the message only leaves an empty line: the next
    // line still starts with this logger's time and tag.
    const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
    if (!control || (c == '\n' && i + 1 == message.size())) {
      escaped += message[i];
    } else if (c == '\n') {
      escaped += QLatin1String("\\n");
    } else if (c == '\r') {
      escaped += QLatin1String("\\r");
    } else if (c == '\t') {
      escaped += QLatin1String("\\t");
    } else {
      escaped += QStringLiteral("\\u%1").arg(static_cast<unsigned>(c), 4, 16, QLatin1Char('0'));
    }
  }
  return escaped;
}

void HostLogger::initialise() {
  const QString directory = QDir::homePath() + QDir::separator() + QCoreApplication::applicationName();
  // Logs hold request bodies: the directory is the user's alone, and the file
  // is created private, never through a link somebody planted.
  std::string why;
  const bool directoryReady =
      platform::os_prepare_private_directory(platform_path(directory), &why);
  if (directoryReady) remove_old_logs(directory, QDateTime::currentDateTime());

  if (file_.isOpen()) file_.close();
  if (directoryReady) {
    const QString path =
        directory + QDir::separator() + fileName(QDate::currentDate(), QCoreApplication::applicationPid());
    const int fd = platform::os_open_private_file_for_append(platform_path(path), &why);
    if (fd >= 0) file_.open(fd, QIODevice::Append | QIODevice::Text, QFileDevice::AutoCloseHandle);
  }
  // Without a file the messages are lost; the reason goes to standard error,
  // which the browser keeps in its own log.
  if (!file_.isOpen()) qWarning("velixhost: no log in %s: %s", qUtf8Printable(directory), why.c_str());

  qInstallMessageHandler(&HostLogger::handleMessage);
  platform::RegSetNoticeHandler(&logSettingsNotice);
  qDebug() << "run from " << QCoreApplication::applicationDirPath() << "\n";
}

void HostLogger::logSettingsNotice(const std::string& notice) {
  qWarning().noquote() << QString::fromStdString(notice);
}

void HostLogger::handleMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
  instance().write(type, message);
}

void HostLogger::write(QtMsgType type, const QString& message) {
  if (!file_.isOpen()) return;
  QString line = escapeControls(message.size() <= kMaxMessageCharacters ? message : message.left(kMaxMessageCharacters));
  if (message.size() > kMaxMessageCharacters)
    line += QStringLiteral(" ... cut, the message has %1 characters").arg(message.size());
  file_.write(formatLine(type, line, QTime::currentTime()).toUtf8());
  file_.write("\n");
  file_.flush();
}

void remove_old_logs(const QString& directory, const QDateTime& now) {
  // A lock on a file that stays in place, not a shared memory segment: the
  // system releases it when its holder ends, even when killed, where a
  // segment left behind would stop every later clean-up. Taking it writes
  // nothing to disk, so a run does not wait for the file system.
  const platform::ExclusiveFileLock guard(platform_path(directory + QDir::separator() + "clear_old_logs.lock"));
  if (!guard.held()) return;

  // A log is written only by the run that created it, so its last write
  // stands for its creation; birth times are not kept by every file system.
  // Logs written before the local midnight that starts the last kKeepDays - 1
  // days are kKeepDays or more midnights old. Comparing raw times keeps the
  // scan at one stat a file, however many logs a month of signing leaves.
  const auto cutoff = std::chrono::system_clock::time_point(std::chrono::milliseconds(
      QDateTime(now.date().addDays(1 - HostLogger::kKeepDays), QTime(0, 0)).toMSecsSinceEpoch()));
  namespace fs = std::filesystem;
  struct Log {
    fs::file_time_type written;
    std::uintmax_t size;
    fs::path path;
  };
  std::vector<Log> kept;
  // Error codes, not exceptions: a directory that cannot be read ends the
  // clean-up, never the run.
  std::error_code listing;
  for (fs::directory_iterator it(fs::path(directory.toStdU16String()), listing), end; !listing && it != end;
       it.increment(listing)) {
    std::error_code error;
    if (!is_log_name(it->path().filename().u16string()) || !it->is_regular_file(error)) continue;
    const fs::file_time_type written = it->last_write_time(error);
    if (error) continue;
    if (std::chrono::file_clock::to_sys(written) < cutoff) {
      fs::remove(it->path(), error);
    } else {
      const std::uintmax_t size = it->file_size(error);
      if (!error) kept.push_back({written, size, it->path()});
    }
  }

  // A month of busy signing must not fill the disk: the oldest go first.
  std::uintmax_t total = 0;
  for (const Log& log : kept) total += log.size;
  const auto limit = static_cast<std::uintmax_t>(HostLogger::kMaxDirectoryBytes - HostLogger::kRunReserveBytes);
  if (total <= limit) return;
  std::sort(kept.begin(), kept.end(), [](const Log& a, const Log& b) {
    return a.written != b.written ? a.written < b.written : a.path < b.path;
  });
  for (const Log& log : kept) {
    if (total <= limit) break;
    std::error_code error;
    if (fs::remove(log.path, error)) total -= log.size;
  }
}
