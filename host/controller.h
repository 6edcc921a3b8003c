// Runs the host's single task: one request read, answered, and the end signalled.
#pragma once

#include <QObject>

class Controller : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

 signals:
  // Emitted once, when the task is over, whatever its outcome.
  void Done();

 public slots:
  void handleRequest();
};
