#include "host/display_choice.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstring>

#include "platform/console.h"

namespace {

bool platform_chosen(int argc, char** argv) {
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return true;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) return true;
  return false;
}

}  // namespace

bool choose_offscreen_without_display(int argc, char** argv) {
  if (platform::os_has_display() || platform_chosen(argc, argv)) return false;
  qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
  return true;
}
