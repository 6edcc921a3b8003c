// One native-messaging request: parsed from its JSON body, handed to the
// handler its type selects, and answered with a compact JSON response.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <memory>

#include "host/action_handler.h"

// Browsers take at most 1 MiB in one message from the host. A larger answer
// is replaced by one with this error and a result {"message": why}.
constexpr qint64 kMaxAnswerBytes = 1024 * 1024;
constexpr int32_t kAnswerTooLarge = 1002;
// A request body over this many bytes is answered with kAnswerTooLarge
// without being parsed, which would cost several times its size: the
// message comes back in the answer at a third of its size or more (a
// character written "\uXXXX" returns as UTF-8) and the other values are
// short, so no request a page means can be this large and have an answer
// the browser takes.
constexpr qint64 kMaxAnswerableRequestBytes = 4 * kMaxAnswerBytes;

struct HostRequest {
  QString uid;
  QString type;
  QString action;
  QJsonObject args;
  QString origin;  // the asking page's web origin, as the browser extension adds it
  qint64 unparsedBytes = 0;  // a body over kMaxAnswerableRequestBytes, left unparsed
  std::unique_ptr<ActionHandler> handler;
};

// Reads "type", "uid", "action", "args" and "origin"; a body that is not a JSON object
// reads as one with none of them, and one over kMaxAnswerableRequestBytes is
// not read at all (unparsedBytes).
HostRequest parse_host_request(const QByteArray& body);

// The response body for a request its handler has handled, the handler's
// long text written into the result straight from its UTF-8 bytes.
QByteArray handled_answer(const HostRequest& request, const ActionHandler& handler);

// True when answering the request may show a dialog or a message box: only
// then does velixhost need a display and the GUI.
bool host_request_may_open_dialog(const HostRequest& request);

// Answers a parsed request with a response body (UTF-8 JSON), never over
// kMaxAnswerBytes.
QByteArray answer_host_request(HostRequest request);

// The whole exchange: request body in, response body (UTF-8 JSON) out, never
// over kMaxAnswerBytes.
// The body is released once it is parsed.
QByteArray process_host_request(QByteArray body);
