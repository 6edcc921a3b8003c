#include "host/host_request.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonValue>

#include <utility>

#include "host/velixcom_handler.h"
#include "ui/request_origin.h"

namespace {

bool is_velixcom(const HostRequest& request) {
  return request.type.compare(QLatin1String("velixcom"), Qt::CaseInsensitive) == 0;
}

QByteArray answer(const HostRequest& request, int32_t error, const QJsonObject& result) {
  QJsonObject response;
  response.insert("uid", request.uid);
  response.insert("type", request.type);
  response.insert("action", request.action);
  response.insert("error", error);
  response.insert("result", result);
  return QJsonDocument(response).toJson(QJsonDocument::Compact);
}

// Says in the answer and in the log why the real answer is not sent. The
// request's names are echoed when they leave the answer within the limit.
QByteArray too_large_answer(HostRequest& request, qint64 bytes, bool atLeast) {
  const QString text = QStringLiteral("The answer would be %1%2 bytes; the browser accepts at most %3 bytes")
                           .arg(atLeast ? QStringLiteral("at least ") : QString())
                           .arg(bytes)
                           .arg(kMaxAnswerBytes);
  qInfo().noquote() << "Answer too large, error" << kAnswerTooLarge << "sent instead:" << text;
  const QJsonObject result{{"message", text}};
  QByteArray response = answer(request, kAnswerTooLarge, result);
  if (response.size() > kMaxAnswerBytes) {
    request.type.clear();
    request.action.clear();
    response = answer(request, kAnswerTooLarge, result);
  }
  if (response.size() > kMaxAnswerBytes) {
    request.uid.clear();
    response = answer(request, kAnswerTooLarge, result);
  }
  return response;
}

}  // namespace

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

bool host_request_may_open_dialog(const HostRequest& request) {
  return is_velixcom(request) && VelixcomHandler::mayOpenDialog(request.action);
}

QByteArray process_host_request(QByteArray body) {
  HostRequest request = parse_host_request(body);
  body = QByteArray();
  return answer_host_request(std::move(request));
}

QByteArray answer_host_request(HostRequest request) {
  if (!request.origin.isEmpty()) {
    ui::SetRequestOrigin(request.origin.toStdString());
    qInfo() << "Request from" << QString::fromStdString(ui::RequestOrigin());
  }
  if (is_velixcom(request))
    request.handler = std::make_unique<VelixcomHandler>();
  else
    request.handler = std::make_unique<DefaultHandler>();

  // Refused before the action runs (and any dialog opens) when even its least
  // answer is over the limit: the user would sign for nothing.
  const qint64 envelope = answer(request, 0, {}).size() - 2;  // without the empty result "{}"
  const qint64 least = envelope + request.handler->leastResultBytes(request.action, request.args);
  if (least > kMaxAnswerBytes) return too_large_answer(request, least, true);

  request.handler->handle(request.action, request.args);
  QByteArray response = answer(request, request.handler->error(), request.handler->result());
  if (response.size() > kMaxAnswerBytes) return too_large_answer(request, response.size(), false);
  return response;
}
