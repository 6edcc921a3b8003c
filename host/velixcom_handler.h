// Serves requests of type "velixcom": one action per signer operation or
// setting, carried out on the handler's own signer.
#pragma once

#include <QJsonValue>
#include <QString>

#include "host/action_handler.h"
#include "signer/signer.h"

class VelixcomHandler : public ActionHandler {
 public:
  static constexpr int32_t kUnknownAction = 1001;
  // The host's version, as "version" and "state" report it.
  static constexpr const char* kVersion = "1.0.0.345";

  VelixcomHandler();

  // True for the actions that may show a dialog or a message box (letter
  // case counts, as for running them).
  static bool mayOpenDialog(const QString& action);

  bool handle(const QString& action, QJsonObject args) override;
  QJsonObject result() const override;
  // signMessage answers with a document that holds the message.
  qint64 leastResultBytes(const QString& action, const QJsonObject& args) const override;

 private:
  // signMessage lets go of its args once it has read them.
  using Action = void (VelixcomHandler::*)(QJsonObject& args);
  static Action find(const QString& action);

  void signMessage(QJsonObject& args);
  void reset(QJsonObject& args);
  void editKeys(QJsonObject& args);
  void useUTF8(QJsonObject& args);
  void useScreenKbd(QJsonObject& args);
  void version(QJsonObject& args);
  void useOperator(QJsonObject& args);
  void useCustomer(QJsonObject& args);
  void session(QJsonObject& args);
  void language(QJsonObject& args);
  void state(QJsonObject& args);
  void lastError(QJsonObject& args);  // the action "error"

  // JSON null leaves the setting alone; anything else is written (only the
  // literal true counts as true, only a string as a text).
  void setBoolean(const QJsonValue& value, int32_t (CSigner::*put)(int32_t));
  void setText(const QJsonValue& value, int32_t (CSigner::*put)(std::u16string_view));

  int32_t useUtf8Value();
  int32_t useScreenKbdValue();
  QString languageValue();
  QString sessionValue();

  CSigner signer_{SignerFlavour::kHost};
};
