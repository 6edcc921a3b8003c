#include "host/controller.h"

#include <QDebug>

#include "host/host_request.h"
#include "host/stdio_channel.h"

namespace {

void run_task() {
  StdioChannel channel;
  if (channel.readRequest() == 0) {
    qInfo() << "ERROR, request:" << channel.state();
    return;
  }
  channel.setResponse(process_host_request(channel.takeRequest()));
  if (channel.writeResponse() == 0) qInfo() << "ERROR, response:" << channel.state();
}

}  // namespace

void Controller::handleRequest() {
  qDebug() << "New TASK";
  run_task();
  emit Done();
}
