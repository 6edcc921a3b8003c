// velixhost: the browser's native-messaging host. One request per process:
// start, read, answer, exit.
#include <QApplication>
#include <QTimer>

#include <memory>

#include "host/controller.h"
#include "host/display_choice.h"
#include "host/host_logger.h"
#include "host/terminal_options.h"
#include "host/ui_setup.h"

int main(int argc, char** argv) {
  if (answer_terminal_options(argc, argv)) return 0;
  const bool noDisplay = choose_offscreen_without_display(argc, argv);
  QApplication application(argc, argv);
  HostLogger::instance().initialise();
  const HostUi ui(noDisplay ? HostUi::Mode::kNoDisplay : HostUi::Mode::kWidgets);

  Controller controller;
  QTimer::singleShot(0, &controller, &Controller::handleRequest);
  QObject::connect(&controller, &Controller::Done, &application, &QCoreApplication::quit);
  return application.exec();
}
