#include "host/controller.h"

#include <QDebug>

#include <utility>

#include "signer/crypto_initializer.h"

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
  // The answer is out: the key is closed (and wiped) now, not at the process's end.
  CCryptoInitializer::CloseKeyOfProcess();
}

}  // namespace

void Controller::handleRequest() {
  qDebug() << "New TASK";
  run_task(channel_, request_);
  emit Done();
}
