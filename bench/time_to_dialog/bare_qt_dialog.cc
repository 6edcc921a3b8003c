// The yardstick of bench_time_to_dialog: a bare Qt Widgets program that shows
// one dialog of the given size and waits.
//
//   bare_qt_dialog WIDTH HEIGHT
#include <QApplication>
#include <QDialog>

#include <cstdlib>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 3) return 2;
  QDialog dialog;
  dialog.setWindowTitle(QStringLiteral("Bare dialog"));
  dialog.setFixedSize(std::atoi(argv[1]), std::atoi(argv[2]));
  return dialog.exec();
}
