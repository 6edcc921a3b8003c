// Serves requests of type "velixcom": the signer's operations and settings.
#pragma once

#include "host/action_handler.h"

class VelixcomHandler : public ActionHandler {
 public:
  static constexpr int32_t kUnknownAction = 1001;

  bool handle(const QString& action, const QJsonObject& args) override;
  QJsonObject result() const override;
};
