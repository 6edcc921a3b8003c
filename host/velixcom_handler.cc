#include "host/velixcom_handler.h"

#include <QDebug>

// The signer is not part of the host yet, so no action is served: every one
// is answered as unknown until the signer's actions are wired in here.
bool VelixcomHandler::handle(const QString& action, const QJsonObject& /*args*/) {
  result_.clear();
  qDebug() << "Begin handle " << action;
  qDebug() << "Action is unsupported";
  error_ = kUnknownAction;
  return false;
}

QJsonObject VelixcomHandler::result() const {
  QJsonObject object;
  for (auto it = result_.cbegin(); it != result_.cend(); ++it) object.insert(it.key(), it.value());
  return object;
}
