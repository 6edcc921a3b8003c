// Qt tests need one QApplication for the whole program, on the offscreen
// platform unless the environment names another.
#include <gtest/gtest.h>

#include <QApplication>

// Qt's platform plugin, fonts and caches live until the process ends; the
// leak checker is told so, for the listing of the tests as for their runs.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libQt5Gui\nleak:libQt5Core\nleak:libQt5Widgets\nleak:libfontconfig\nleak:libglib\n";
}

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
