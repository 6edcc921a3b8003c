#include "host/controller.h"

#include <QDebug>

#include <utility>

namespace {

void run_task(StdioChannel& channel, HostRequest& request) {
  channel.logRequest();
  if (channel.state() != StdioChannel::kOk) {
    qInfo() << "ERROR, request:" << channel.state();
    return;
  }
  // The body is parsed: a big request is not held twice while it is answered.
  channel.takeRequest();
  channel.setResponse(answer_host_request(std::move(request)));
  if (channel.writeResponse() == 0) qInfo() << "ERROR, response:" << channel.state();
}

}  // namespace

void Controller::handleRequest() {
  qDebug() << "New TASK";
  run_task(channel_, request_);
  emit Done();
}
