// One native-messaging request: parsed from its JSON body, handed to the
// handler its type selects, and answered with a compact JSON response.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <memory>

#include "host/action_handler.h"

struct HostRequest {
  QString uid;
  QString type;
  QString action;
  QJsonObject args;
  QString origin;  // the asking page's web origin, as the browser extension adds it
  std::unique_ptr<ActionHandler> handler;
};

// Reads "type", "uid", "action", "args" and "origin"; a body that is not a JSON object
// reads as one with none of them.
HostRequest parse_host_request(const QByteArray& body);

// The whole exchange: request body in, response body (UTF-8 JSON) out.
QByteArray process_host_request(const QByteArray& body);
