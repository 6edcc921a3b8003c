#include "host/action_handler.h"

bool DefaultHandler::handle(const QString& /*action*/, const QJsonObject& args) {
  args_ = args;
  error_ = kUnknownType;
  return true;
}
