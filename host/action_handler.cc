#include "host/action_handler.h"

#include <utility>

bool DefaultHandler::handle(const QString& /*action*/, QJsonObject args) {
  args_ = std::move(args);
  error_ = kUnknownType;
  return true;
}
