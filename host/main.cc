// velixhost: the browser's native-messaging host. One request per process:
// start, read, answer, exit.
#include <QCoreApplication>
#include <QDebug>
#include <QTimer>

#include "host/controller.h"
#include "host/host_logger.h"
#include "host/host_request.h"
#include "host/site_gate.h"
#include "host/stdio_channel.h"
#include "host/terminal_options.h"
#include "host/ui_setup.h"
#include "ui/backends/qt/dialog_startup.h"
#include "platform/display.h"
#include "platform/process_protection.h"

int main(int argc, char** argv) {
  platform::os_protect_process();
  if (answer_terminal_options(argc, argv)) return 0;
  // A browser that stops reading still gets a finished run and a whole log.
  platform::os_ignore_broken_pipe();
  // Started by a browser, every request must name its page's site.
  set_started_by_browser(started_by_browser(argc, argv));
  // The request is read and parsed before any application object: most
  // requests show nothing and must not pay for Qt's GUI, the platform plugin
  // and the fonts. The log lines of the read follow once the log is open.
  StdioChannel channel;
  HostRequest request;
  if (channel.readRequestQuietly() != 0) request = parse_host_request(channel.buffer());

  // Only a request that may show a dialog loads the GUI, which lives in a
  // module of its own.
  DialogStartup startup = start_dialogs(argc, argv, host_request_may_open_dialog(request));

  HostLogger::instance().initialise();
  if (!startup.display.dialogs)
    qInfo().noquote() << "No dialogs, every one answers as Cancel:" << startup.display.reason;
  const HostUi ui(startup.module);

  Controller controller(channel, request);
  QTimer::singleShot(0, &controller, &Controller::handleRequest);
  QObject::connect(&controller, &Controller::Done, startup.application.get(), &QCoreApplication::quit);
  return startup.application->exec();
}
