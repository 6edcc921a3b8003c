#include "ui/backends/qt/display_choice.h"

#include <QCoreApplication>
#include <QDir>
#include <QtGlobal>

#include <cstring>
#include <string>

#include "platform/display.h"

namespace {

bool is_platform_option(const char* argument) {
  return std::strcmp(argument, "-platform") == 0 || std::strcmp(argument, "--platform") == 0;
}

// The caller's choice: the last "-platform NAME", else QT_QPA_PLATFORM.
QByteArray requested_platform(int argc, char** argv) {
  QByteArray requested = qgetenv("QT_QPA_PLATFORM");
  for (int i = 1; i + 1 < argc; ++i)
    if (is_platform_option(argv[i])) requested = argv[i + 1];
  return requested;
}

// Qt's platform plugins are files "libq<name>*.so" in a "platforms" folder on
// its plugin path; without one, Qt cannot start that platform.
bool has_platform_plugin(const QString& name) {
  QStringList folders;
  for (const QString& path : QCoreApplication::libraryPaths()) folders << path + "/platforms";
  if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM_PLUGIN_PATH"))
    folders << qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH");
  for (const QString& folder : folders)
    if (!QDir(folder).entryList({"libq" + name + "*"}, QDir::Files).isEmpty()) return true;
  return false;
}

DisplayChoice headless(const QString& reason) { return {false, "offscreen", reason}; }

DisplayChoice try_x11() {
  std::string why;
  if (!platform::os_can_open_x11_display(&why)) return headless(QString::fromStdString(why));
  if (!has_platform_plugin("xcb")) return headless("Qt's xcb platform plugin is missing");
  return {true, "xcb", {}};
}

DisplayChoice try_wayland(const QByteArray& platform) {
  std::string why;
  if (!platform::os_can_open_wayland_display(&why)) return headless(QString::fromStdString(why));
  if (!has_platform_plugin("wayland")) return headless("Qt's wayland platform plugin is missing (qtwayland5)");
  return {true, platform, {}};
}

}  // namespace

DisplayChoice choose_display(int argc, char** argv) {
  const QByteArray requested = requested_platform(argc, argv);
  // "name:option=value,..." passes options to the plugin.
  const int options = requested.indexOf(':');
  const QByteArray name = options < 0 ? requested : requested.left(options);
  if (name.isEmpty()) {
    const DisplayChoice x11 = try_x11();
    if (x11.dialogs) return x11;
    const DisplayChoice wayland = try_wayland("wayland");
    if (wayland.dialogs) return wayland;
    return headless("no display: " + x11.reason + "; " + wayland.reason);
  }
  if (name == "offscreen" || name == "minimal" || name == "minimalegl")
    return headless("the platform \"" + QString::fromUtf8(name) + "\" shows no window to anyone");
  if (name == "xcb") {
    DisplayChoice x11 = try_x11();
    if (x11.dialogs) x11.platform = requested;
    return x11;
  }
  if (name.startsWith("wayland")) return try_wayland(requested);
  // Another platform (vnc, eglfs, ...) was asked for by name: it cannot be
  // checked from here, so the caller's choice stands.
  return {true, requested, {}};
}

void apply_display_choice(const DisplayChoice& choice, int& argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", choice.platform);
  if (argc < 1) return;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (is_platform_option(argv[i]) && i + 1 < argc) {
      ++i;
      continue;
    }
    argv[kept++] = argv[i];
  }
  argv[kept] = nullptr;
  argc = kept;
}
