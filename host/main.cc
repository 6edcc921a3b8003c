// velixhost: the browser's native-messaging host. One request per process:
// start, read, answer, exit.
#include <QApplication>
#include <QDebug>
#include <QTimer>

#include "host/controller.h"
#include "ui/backends/qt/display_choice.h"
#include "host/host_logger.h"
#include "host/terminal_options.h"
#include "host/ui_setup.h"
#include "platform/display.h"

int main(int argc, char** argv) {
  if (answer_terminal_options(argc, argv)) return 0;
  // A browser that stops reading still gets a finished run and a whole log.
  platform::os_ignore_broken_pipe();
  const DisplayChoice display = choose_display(argc, argv);
  apply_display_choice(display, argc, argv);
  QApplication application(argc, argv);
  HostLogger::instance().initialise();
  if (!display.dialogs) qInfo().noquote() << "No dialogs, every one answers as Cancel:" << display.reason;
  const HostUi ui(display.dialogs ? HostUi::Mode::kWidgets : HostUi::Mode::kNoDisplay);

  Controller controller;
  QTimer::singleShot(0, &controller, &Controller::handleRequest);
  QObject::connect(&controller, &Controller::Done, &application, &QCoreApplication::quit);
  return application.exec();
}
