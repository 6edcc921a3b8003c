// Handlers carry out the "action" of one request and supply the response's
// "error" and "result".
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QMap>
#include <QString>

#include <cstdint>
#include <string>

class ActionHandler {
 public:
  virtual ~ActionHandler() = default;

  // Carries out the action; true when it was recognised (callers ignore it).
  // The args are the handler's: it may let them go as soon as it has read them.
  virtual bool handle(const QString& action, QJsonObject args) = 0;
  // The result object, but for its long text (below).
  virtual QJsonObject result() const = 0;
  // One member of the result may be a text too long to hold as a QString
  // beside the answer (a signed document near the browser's 1 MiB): it is kept
  // apart, as UTF-8, and written into the answer from there. Its key, or the
  // empty text when the result has none.
  const QString& longTextKey() const { return long_text_key_; }
  const std::string& longText() const { return long_text_; }
  // The fewest bytes the result object will take as compact JSON, known
  // before the action runs (0 when nothing is known): an answer that cannot
  // fit the browser's limit is refused before any dialog opens.
  virtual qint64 leastResultBytes(const QString& /*action*/, const QJsonObject& /*args*/) const { return 0; }
  virtual int32_t error() const { return error_; }

 protected:
  int32_t error_ = 0;
  QMap<QString, QJsonValue> result_;
  QString long_text_key_;
  std::string long_text_;
};

// Answers every request whose type no handler serves: error 5, the request's
// args handed back unchanged.
class DefaultHandler : public ActionHandler {
 public:
  static constexpr int32_t kUnknownType = 5;

  bool handle(const QString& action, QJsonObject args) override;
  QJsonObject result() const override { return args_; }

 private:
  QJsonObject args_;
};
