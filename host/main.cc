// velixhost: the browser's native-messaging host. One request per process:
// start, read, answer, exit.
#include <QApplication>
#include <QCoreApplication>
#include <QDebug>
#include <QTimer>

#include "host/controller.h"
#include "host/display_choice.h"
#include "host/host_logger.h"
#include "host/host_request.h"
#include "host/stdio_channel.h"
#include "host/terminal_options.h"
#include "host/ui_setup.h"
#include "platform/display.h"

namespace {

// Opens the log, installs the signer's UI and answers the request read before.
int run(QCoreApplication& application, const DisplayChoice* display, StdioChannel& channel, HostRequest& request) {
  HostLogger::instance().initialise();
  const bool dialogs = display != nullptr && display->dialogs;
  if (display != nullptr && !dialogs)
    qInfo().noquote() << "No dialogs, every one answers as Cancel:" << display->reason;
  const HostUi ui(dialogs ? HostUi::Mode::kWidgets : HostUi::Mode::kNoDisplay);

  Controller controller(channel, request);
  QTimer::singleShot(0, &controller, &Controller::handleRequest);
  QObject::connect(&controller, &Controller::Done, &application, &QCoreApplication::quit);
  return application.exec();
}

}  // namespace

int main(int argc, char** argv) {
  if (answer_terminal_options(argc, argv)) return 0;
  // A browser that stops reading still gets a finished run and a whole log.
  platform::os_ignore_broken_pipe();
  // The request is read and parsed before any application object: most
  // requests show nothing and must not pay for a display, the platform
  // plugin and the fonts. The log lines of the read follow once the log is open.
  StdioChannel channel;
  HostRequest request;
  if (channel.readRequestQuietly() != 0) request = parse_host_request(channel.buffer());

  if (!host_request_may_open_dialog(request)) {
    QCoreApplication application(argc, argv);
    return run(application, nullptr, channel, request);
  }
  const DisplayChoice display = choose_display(argc, argv);
  apply_display_choice(display, argc, argv);
  QApplication application(argc, argv);
  return run(application, &display, channel, request);
}
