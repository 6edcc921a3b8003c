// velixhost: the browser's native-messaging host. One request per process:
// start, read, answer, exit.
#include <QCoreApplication>
#include <QDebug>
#include <QTimer>

#include <memory>
#include <string>

#include "host/controller.h"
#include "host/dialog_module.h"
#include "ui/backends/qt/display_choice.h"
#include "host/host_logger.h"
#include "host/host_request.h"
#include "host/stdio_channel.h"
#include "host/terminal_options.h"
#include "host/ui_setup.h"
#include "platform/display.h"
#include "platform/process_protection.h"

int main(int argc, char** argv) {
  platform::os_protect_process();
  if (answer_terminal_options(argc, argv)) return 0;
  // A browser that stops reading still gets a finished run and a whole log.
  platform::os_ignore_broken_pipe();
  // The request is read and parsed before any application object: most
  // requests show nothing and must not pay for Qt's GUI, the platform plugin
  // and the fonts. The log lines of the read follow once the log is open.
  StdioChannel channel;
  HostRequest request;
  if (channel.readRequestQuietly() != 0) request = parse_host_request(channel.buffer());

  // Every request looks for a display, so the log tells the same whatever was
  // asked; only a request that may show a dialog loads the GUI, which lives
  // in a module of its own.
  DisplayChoice display = choose_display(argc, argv);
  const host_dialogs::Interface* dialogs = nullptr;
  if (display.dialogs && host_request_may_open_dialog(request)) {
    std::string why;
    dialogs = load_dialog_module(&why);
    if (dialogs == nullptr) display = {false, "offscreen", QString::fromStdString(why)};
  }
  apply_display_choice(display, argc, argv);
  const std::unique_ptr<QCoreApplication> application(
      dialogs != nullptr ? dialogs->create_application(argc, argv) : new QCoreApplication(argc, argv));

  HostLogger::instance().initialise();
  if (!display.dialogs) qInfo().noquote() << "No dialogs, every one answers as Cancel:" << display.reason;
  const HostUi ui(dialogs);

  Controller controller(channel, request);
  QTimer::singleShot(0, &controller, &Controller::handleRequest);
  QObject::connect(&controller, &Controller::Done, application.get(), &QCoreApplication::quit);
  return application->exec();
}
