// Runs the host's single task: the request, already read, logged and
// answered, and the end signalled.
#pragma once

#include <QObject>

#include "host/host_request.h"
#include "host/stdio_channel.h"

class Controller : public QObject {
  Q_OBJECT

 public:
  // `channel` has read the request (quietly, before the log was open) and
  // `request` is its parsed body; both must outlive the controller.
  Controller(StdioChannel& channel, HostRequest& request) : channel_(channel), request_(request) {}

 signals:
  // Emitted once, when the task is over, whatever its outcome.
  void Done();

 public slots:
  void handleRequest();

 private:
  StdioChannel& channel_;
  HostRequest& request_;
};
