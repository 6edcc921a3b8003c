#include "host/host_request.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonValue>

#include "host/velixcom_handler.h"
#include "ui/request_origin.h"

HostRequest parse_host_request(const QByteArray& body) {
  HostRequest request;
  const QJsonObject object = QJsonDocument::fromJson(body).object();
  request.type = object.value("type").toString();
  request.uid = object.value("uid").toString();
  request.action = object.value("action").toString();
  request.args = object.value("args").toObject();
  request.origin = object.value("origin").toString();
  return request;
}

QByteArray process_host_request(const QByteArray& body) {
  HostRequest request = parse_host_request(body);
  if (!request.origin.isEmpty()) {
    ui::SetRequestOrigin(request.origin.toStdString());
    qInfo() << "Request from" << QString::fromStdString(ui::RequestOrigin());
  }
  if (request.type.compare(QLatin1String("velixcom"), Qt::CaseInsensitive) == 0)
    request.handler = std::make_unique<VelixcomHandler>();
  else
    request.handler = std::make_unique<DefaultHandler>();
  request.handler->handle(request.action, request.args);

  QJsonObject response;
  response.insert("uid", request.uid);
  response.insert("type", request.type);
  response.insert("action", request.action);
  response.insert("error", request.handler->error());
  response.insert("result", request.handler->result());
  return QJsonDocument(response).toJson(QJsonDocument::Compact);
}
