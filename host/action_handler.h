// Handlers carry out the "action" of one request and supply the response's
// "error" and "result".
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QMap>
#include <QString>

#include <cstdint>

class ActionHandler {
 public:
  virtual ~ActionHandler() = default;

  // Carries out the action; true when it was recognised (callers ignore it).
  virtual bool handle(const QString& action, const QJsonObject& args) = 0;
  virtual QJsonObject result() const = 0;
  // The fewest bytes the result object will take as compact JSON, known
  // before the action runs (0 when nothing is known): an answer that cannot
  // fit the browser's limit is refused before any dialog opens.
  virtual qint64 leastResultBytes(const QString& /*action*/, const QJsonObject& /*args*/) const { return 0; }
  virtual int32_t error() const { return error_; }

 protected:
  int32_t error_ = 0;
  QMap<QString, QJsonValue> result_;
};

// Answers every request whose type no handler serves: error 5, the request's
// args handed back unchanged.
class DefaultHandler : public ActionHandler {
 public:
  static constexpr int32_t kUnknownType = 5;

  bool handle(const QString& action, const QJsonObject& args) override;
  QJsonObject result() const override { return args_; }

 private:
  QJsonObject args_;
};
