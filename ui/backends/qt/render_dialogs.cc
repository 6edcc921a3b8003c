// Renders every dialog of the product in one language to PNG files, with the
// Qt backend, so that anyone can look at them without running the programs.
//
//   velix-render-dialogs OUT_DIR en|ru
//
// Each picture shows the dialog with a plain title bar drawn above it (the
// offscreen platform has no window frames), so that the caption is seen too.
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <string>

#include "ui/backends/qt/qt_backend.h"
#include "ui/backends/qt/qt_dialog_window.h"
#include "ui/backends/preview/dialog_scenes.h"
#include "ui/dialog_messages.h"
#include "ui/language.h"
#include "ui/resources/strings.h"

namespace {

using namespace ui;

QString g_out_dir;

// The picture of a window: a title bar with its caption above its contents.
QPixmap WithTitleBar(QWidget* window) {
  const QPixmap body = window->grab();
  QFont title_font = window->font();
  title_font.setBold(true);
  const int bar = QFontMetrics(title_font).height() + 8;
  QPixmap picture(body.width() + 2, body.height() + bar + 1);
  picture.fill(QColor(0, 0, 128));
  QPainter painter(&picture);
  painter.setFont(title_font);
  painter.setPen(Qt::white);
  painter.drawText(QRect(6, 0, picture.width() * 2, bar), Qt::AlignVCenter | Qt::AlignLeft,
                   window->windowTitle());
  painter.drawPixmap(1, bar, body);
  return picture;
}

// Saves the next modal window under `name` once it is laid out, then closes it.
void SnapNextModal(const QString& name) {
  QTimer::singleShot(300, [name] {
    QWidget* window = QApplication::activeModalWidget();
    if (window == nullptr) {
      std::fprintf(stderr, "no window for %s\n", qPrintable(name));
      return;
    }
    const QString path = QDir(g_out_dir).filePath(name + ".png");
    if (!WithTitleBar(window).save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    if (auto* dialog = dynamic_cast<qt::QtDialogWindow*>(window)) dialog->EndDialog(kResultCancel);
    else if (auto* box = qobject_cast<QMessageBox*>(window)) box->done(QMessageBox::Ok);
    else if (auto* chooser = qobject_cast<QDialog*>(window)) chooser->reject();
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::string(argv[2]) != "en" && std::string(argv[2]) != "ru")) {
    std::fprintf(stderr, "usage: %s OUT_DIR en|ru\n", argv[0]);
    return 2;
  }
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The settings the authorization dialog loads and saves live in a registry
  // of this run, never in the user's own.
  QTemporaryDir settings;
  qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
  QApplication app(argc, argv);
  g_out_dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(g_out_dir);
  SetThreadUiLanguage(std::string(argv[2]) == "en" ? kLangEnglish : kLangRussian);
  qt::QtDialogBackend backend;
  QTimer::singleShot(0, [] {
    ShowEveryDialog([](const std::string& name) { SnapNextModal(QString::fromStdString(name)); });
    QApplication::quit();
  });
  return app.exec();
}
