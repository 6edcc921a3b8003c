#include "host/host_request.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonValue>
#include <QStringList>

#include <string>
#include <utility>

#include "host/json_text.h"
#include "host/site_gate.h"
#include "host/velixcom_handler.h"
#include "platform/codepage.h"
#include "signer/signature_journal.h"
#include "signer/signer.h"
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

// A signature request that was never handed to the signer still leaves its
// trace in the journal.
void journal_refusal(const HostRequest& request, const QString& reason) {
  if (request.action != QLatin1String("signMessage")) return;
  JournalEntry entry;
  entry.origin = request.origin.toStdString();
  entry.action = "signMessage";
  entry.digest = TextDigest(request.args.value(QStringLiteral("value")).toString().toStdString());
  entry.outcome = reason.toStdString();
  std::string why;
  if (!RecordSignatureRequest(entry, &why)) qWarning().noquote() << "No journal entry:" << QString::fromStdString(why);
}

QByteArray compact(const QJsonObject& object) { return QJsonDocument(object).toJson(QJsonDocument::Compact); }

// Says in the answer and in the log why the real answer is not sent. The
// request's names are echoed when they leave the answer within the limit.
QByteArray refusal_answer(HostRequest& request, const QString& text) {
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

QByteArray too_large_answer(HostRequest& request, qint64 bytes, bool atLeast) {
  return refusal_answer(request, QStringLiteral("The answer would be %1%2 bytes; the browser accepts at most %3 bytes")
                                     .arg(atLeast ? QStringLiteral("at least ") : QString())
                                     .arg(bytes)
                                     .arg(kMaxAnswerBytes));
}

}  // namespace

// The long text is written from its UTF-8 bytes between the members Qt
// writes, in Qt's order (keys sorted): the answer's own keys are fixed, and
// the long text's key must sort after the result's other keys. Otherwise, or
// when the text is not valid UTF-8 or starts with a byte order mark (which
// QString's UTF-16 conversion drops), the answer goes through Qt whole.
QByteArray handled_answer(const HostRequest& request, const ActionHandler& handler) {
  QJsonObject result = handler.result();
  const QString& key = handler.longTextKey();
  if (key.isEmpty()) return answer(request, handler.error(), result);
  const std::string& text = handler.longText();
  const qint64 text_size = text.rfind("\xEF\xBB\xBF", 0) == 0 ? -1 : json_string_size(text);
  QJsonObject probe = result;
  probe.insert(key, QString());
  if (text_size >= 0 && probe.keys().last() == key) {
    QByteArray response = compact({{"action", request.action}, {"error", handler.error()}});
    response.chop(1);  // the closing brace: the result follows
    response += ",\"result\":";
    response += compact(probe).chopped(3);  // up to the long text's empty value: ""}
    const QByteArray tail = "}," + compact({{"type", request.type}, {"uid", request.uid}}).mid(1);
    response.reserve(static_cast<int>(response.size() + text_size + tail.size()));
    append_json_string(text, &response);
    response += tail;
    return response;
  }
  result.insert(key, QString::fromStdU16String(platform::utf8_to_utf16(text)));
  return answer(request, handler.error(), result);
}

HostRequest parse_host_request(const QByteArray& body) {
  HostRequest request;
  if (body.size() > kMaxAnswerableRequestBytes) {
    request.unparsedBytes = body.size();
    return request;
  }
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
  if (request.unparsedBytes > 0)
    return refusal_answer(request, QStringLiteral("The request is %1 bytes; no request over %2 bytes can have "
                                                  "an answer within the %3 bytes the browser accepts")
                                       .arg(request.unparsedBytes)
                                       .arg(kMaxAnswerableRequestBytes)
                                       .arg(kMaxAnswerBytes));
  if (!request.origin.isEmpty()) {
    // An origin too long to be a browser's is refused whole: shown cut, it
    // would name another site, and shown as none it would pass for a script.
    if (!ui::SetRequestOrigin(request.origin.toStdString())) {
      const QString text = QStringLiteral("The request's origin is %1 characters long; at most %2 are accepted")
                               .arg(request.origin.size())
                               .arg(ui::kMaxOriginLength);
      qInfo().noquote() << "Request refused:" << text;
      return answer(request, kErrorBadInput, QJsonObject{{"message", text}});
    }
    qInfo() << "Request from" << request.origin;
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

  // Before anything that touches a key or a stored setting; the answer keeps
  // its form, with the reason in the result.
  const GateDecision gate = check_site(request);
  if (!gate.refusal.isEmpty()) {
    journal_refusal(request, gate.refusal);
    QJsonObject result{{"reason", gate.refusal}};
    if (request.action == QLatin1String("signMessage")) result.insert("value", QString());
    return answer(request, 0, result);
  }
  request.handler->handle(request.action, std::move(request.args));
  QByteArray response = handled_answer(request, *request.handler);
  if (response.size() > kMaxAnswerBytes) return too_large_answer(request, response.size(), false);
  return response;
}
