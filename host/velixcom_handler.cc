#include "host/velixcom_handler.h"

#include <QDebug>
#include <QHash>

#include <string>
#include <utility>

#include "host/host_logger.h"
#include "host/sign_reason.h"
#include "signer/crypto_initializer.h"
#include "signer/signature_journal.h"
#include "ui/request_origin.h"
#include "settings/config.h"

namespace {

std::u16string to_u16(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
}

QString from_u16(const std::u16string& text) { return QString::fromStdU16String(text); }

const char* true_false(bool value) { return value ? "true" : "false"; }

// The line reads: Setup value: "<text>", the text quoted and escaped as the
// log writes every text, so a page's text cannot end the line early. A page
// may send megabytes: the log keeps the text's start and its length.
void log_setup(const char* what, const QString& text) {
  const QString start = HostLogger::textStart(text);
  if (start.size() == text.size()) {
    qDebug().nospace() << what << text;
    return;
  }
  qDebug().nospace() << what << start << " ... cut, the text has " << text.size() << " characters";
}

// A single setting's absent "value" is treated like null: left unchanged.
QJsonValue single_value(const QJsonObject& args) {
  const QJsonValue value = args.value(QStringLiteral("value"));
  return value.isUndefined() ? QJsonValue(QJsonValue::Null) : value;
}

// The fewest bytes `text`, up to its first NUL, takes inside a JSON string in
// UTF-8: escapes take two bytes or more, characters beyond ASCII two or more.
qint64 least_json_string_bytes(const QString& text) {
  qint64 bytes = 0;
  for (const QChar c : text) {
    const char16_t unit = c.unicode();
    if (unit == 0) break;
    if (unit == u'"' || unit == u'\\' || unit < 0x20 || unit >= 0x80) {
      bytes += unit >= 0x800 && !c.isSurrogate() ? 3 : 2;
    } else {
      bytes += 1;
    }
  }
  return bytes;
}

}  // namespace

VelixcomHandler::VelixcomHandler() = default;

// The settings and "reset" show nothing: a setting that is not stored is only
// logged, and reset's one message box ("library in use") needs a second
// thread inside the signer, which a host answering one request never has.
bool VelixcomHandler::mayOpenDialog(const QString& action) {
  return action == QLatin1String("signMessage") || action == QLatin1String("editKeys");
}

qint64 VelixcomHandler::leastResultBytes(const QString& action, const QJsonObject& args) const {
  if (action != QLatin1String("signMessage")) return 0;
  const QJsonValue message = args.value(QStringLiteral("value"));
  if (!message.isString()) return 0;
  // The signer signs the message up to its first NUL; the document holds that
  // part as it is.
  return static_cast<qint64>(sizeof R"({"value":""})" - 1) + least_json_string_bytes(message.toString());
}

VelixcomHandler::Action VelixcomHandler::find(const QString& action) {
  static const QHash<QString, Action> actions = {
      {QStringLiteral("signMessage"), &VelixcomHandler::signMessage},
      {QStringLiteral("reset"), &VelixcomHandler::reset},
      {QStringLiteral("editKeys"), &VelixcomHandler::editKeys},
      {QStringLiteral("useUTF8"), &VelixcomHandler::useUTF8},
      {QStringLiteral("useScreenKbd"), &VelixcomHandler::useScreenKbd},
      {QStringLiteral("version"), &VelixcomHandler::version},
      {QStringLiteral("useOperator"), &VelixcomHandler::useOperator},
      {QStringLiteral("useCustomer"), &VelixcomHandler::useCustomer},
      {QStringLiteral("session"), &VelixcomHandler::session},
      {QStringLiteral("language"), &VelixcomHandler::language},
      {QStringLiteral("state"), &VelixcomHandler::state},
      {QStringLiteral("error"), &VelixcomHandler::lastError},
  };
  return actions.value(action, nullptr);
}

bool VelixcomHandler::handle(const QString& action, QJsonObject args) {
  result_.clear();
  long_text_key_.clear();
  long_text_.clear();
  const QString shown = HostLogger::textStart(action);
  if (shown.size() == action.size())
    qDebug() << "Begin handle " << action;
  else
    qDebug() << "Begin handle " << shown << "... cut, the name has" << action.size() << "characters";
  const Action run = find(action);  // names are compared with letter case
  if (run == nullptr) {
    qDebug() << "Action is unsupported";
    error_ = kUnknownAction;
    return false;
  }
  (this->*run)(args);
  return true;
}

QJsonObject VelixcomHandler::result() const {
  QJsonObject object;
  for (auto it = result_.cbegin(); it != result_.cend(); ++it) object.insert(it.key(), it.value());
  return object;
}

void VelixcomHandler::setBoolean(const QJsonValue& value, int32_t (CSigner::*put)(int32_t)) {
  if (value.isNull()) return;
  const bool on = value.isBool() && value.toBool();
  log_setup("Setup value: ", QLatin1String(true_false(on)));
  if ((signer_.*put)(on ? 1 : 0) == kStatusOk) return;
  // The answer then carries the value that is stored; the log says why.
  qDebug().noquote() << QStringLiteral("Setting not stored: %1")
                            .arg(QString::fromStdString(Config::Instance().SaveFailure()));
}

void VelixcomHandler::setText(const QJsonValue& value, int32_t (CSigner::*put)(std::u16string_view)) {
  if (value.isNull()) return;
  const QString text = value.isString() ? value.toString() : QString();
  log_setup("Setup value: ", text);
  (signer_.*put)(to_u16(text));
}

// Every key of signMessage's args is applied: an absent key counts as false or
// the empty text, only null leaves a setting as it is.
void VelixcomHandler::signMessage(QJsonObject& args) {
  const QJsonValue storedKey = args.value(QStringLiteral("useStoredKey"));
  if (!storedKey.isNull()) {
    const bool keep = storedKey.isBool() && storedKey.toBool();
    log_setup("Setup reset key: ", QLatin1String(true_false(!keep)));
    if (!keep) signer_.Reset();
  }
  setBoolean(args.value(QStringLiteral("useUTF8")), &CSigner::put_useUtf8);
  setBoolean(args.value(QStringLiteral("useScreenKbd")), &CSigner::put_UseScreenKbd);
  setBoolean(args.value(QStringLiteral("useCustomer")), &CSigner::put_Customer);
  setBoolean(args.value(QStringLiteral("useOperator")), &CSigner::put_Operator);
  setText(args.value(QStringLiteral("session")), &CSigner::put_Session);
  setText(args.value(QStringLiteral("language")), &CSigner::put_Language);

  // A message can be near a mebibyte: the parsed request is let go once the
  // text is out of it, the text once the signer has converted it, and the
  // document stays UTF-8 until it is written into the answer.
  QString text = args.value(QStringLiteral("value")).toString();
  args = QJsonObject();
  JournalEntry journal;
  journal.origin = ui::RequestOrigin();
  journal.action = "signMessage";
  journal.digest = TextDigest(text.toStdString());
  std::string document;
  signer_.SignMessageUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                              static_cast<size_t>(text.size())),
                          [&text] { text = QString(); }, &document);
  const bool signed_something = !document.empty();
  long_text_key_ = QStringLiteral("value");
  long_text_ = std::move(document);
  // Beside the text, why it is (or is not) there, for the page to act on.
  const QString reason = sign_reason(observe_sign_outcome(signed_something, signer_.Error()));
  result_.insert(QStringLiteral("reason"), reason);
  journal.serial = signed_something ? CCryptoInitializer::Instance().key().serial : 0;
  journal.outcome = reason.toStdString();
  std::string why;
  if (!RecordSignatureRequest(journal, &why)) qWarning().noquote() << "No journal entry:" << QString::fromStdString(why);
}

void VelixcomHandler::reset(QJsonObject&) { signer_.Reset(); }

void VelixcomHandler::editKeys(QJsonObject&) { signer_.EditKeys(); }

void VelixcomHandler::useUTF8(QJsonObject& args) {
  setBoolean(single_value(args), &CSigner::put_useUtf8);
  result_.insert(QStringLiteral("value"), useUtf8Value());
}

void VelixcomHandler::useScreenKbd(QJsonObject& args) {
  setBoolean(single_value(args), &CSigner::put_UseScreenKbd);
  result_.insert(QStringLiteral("value"), useScreenKbdValue());
}

void VelixcomHandler::version(QJsonObject&) {
  result_.insert(QStringLiteral("value"), QLatin1String(kVersion));
}

void VelixcomHandler::useOperator(QJsonObject& args) {
  setBoolean(single_value(args), &CSigner::put_Operator);
  result_.insert(QStringLiteral("value"), signer_.Operator());
}

void VelixcomHandler::useCustomer(QJsonObject& args) {
  setBoolean(single_value(args), &CSigner::put_Customer);
  result_.insert(QStringLiteral("value"), signer_.Customer());
}

void VelixcomHandler::session(QJsonObject& args) {
  setText(single_value(args), &CSigner::put_Session);
  result_.insert(QStringLiteral("value"), sessionValue());
}

void VelixcomHandler::language(QJsonObject& args) {
  setText(single_value(args), &CSigner::put_Language);
  result_.insert(QStringLiteral("value"), languageValue());
}

void VelixcomHandler::state(QJsonObject&) {
  result_.insert(QStringLiteral("version"), QLatin1String(kVersion));
  result_.insert(QStringLiteral("language"), languageValue());
  result_.insert(QStringLiteral("session"), sessionValue());
  result_.insert(QStringLiteral("useCustomer"), signer_.Customer());
  result_.insert(QStringLiteral("useOperator"), signer_.Operator());
  result_.insert(QStringLiteral("useScreenKbd"), useScreenKbdValue());
  result_.insert(QStringLiteral("useUTF8"), useUtf8Value());
}

void VelixcomHandler::lastError(QJsonObject&) { result_.insert(QStringLiteral("error"), signer_.Error()); }

int32_t VelixcomHandler::useUtf8Value() {
  int32_t value = 0;
  signer_.get_useUtf8(&value);
  return value;
}

int32_t VelixcomHandler::useScreenKbdValue() {
  int32_t value = 0;
  signer_.get_UseScreenKbd(&value);
  return value;
}

QString VelixcomHandler::languageValue() {
  std::u16string value;
  signer_.get_Language(&value);
  return from_u16(value);
}

QString VelixcomHandler::sessionValue() {
  std::u16string value;
  signer_.get_Session(&value);
  return from_u16(value);
}
