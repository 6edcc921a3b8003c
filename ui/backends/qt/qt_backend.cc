#include "ui/backends/qt/qt_backend.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputMethod>
#include <QLocale>
#include <QMessageBox>

#include "ui/backends/qt/qt_dialog_window.h"
#include "ui/backends/qt/qt_text.h"
#include "ui/dialog_messages.h"
#include "ui/backends/qt/qt_translation.h"
#include "ui/language.h"
#include "ui/load_string.h"

namespace ui::qt {

QtDialogBackend::QtDialogBackend()
    : previous_dialogs_(ActiveDialogBackend()), previous_boxes_(GetMessageBoxBackend()) {
  SetDialogBackend(this);
  SetMessageBoxBackend(this);
  InstallResourceStrings();
}

QtDialogBackend::~QtDialogBackend() {
  SetDialogBackend(previous_dialogs_);
  SetMessageBoxBackend(previous_boxes_);
}

intptr_t QtDialogBackend::RunModal(int template_id, DialogWindow* parent, DialogProc proc) {
  DialogLayout layout;
  if (!ResolveDialogTemplate(template_id, ThreadUiLanguage(), &layout)) return kResultFailed;
  FollowUiLanguage(ThreadUiLanguage());
  auto* owner = dynamic_cast<QtDialogWindow*>(parent);
  QtDialogWindow window(layout, owner, proc);
  return window.Run();
}

QStringList QtNameFilters(const std::vector<FileFilter>& filters) {
  QStringList names;
  for (const FileFilter& f : filters) {
    const QString description = FromBytes(f.description);
    const QString pattern = QString::fromUtf8(f.pattern.c_str());
    const QString suffix = QStringLiteral("(%1)").arg(pattern);
    names << (description.endsWith(suffix) ? description : QStringLiteral("%1 %2").arg(description, suffix));
  }
  return names;
}

bool QtDialogBackend::ChooseOpenFile(const OpenFileRequest& request, std::string* path) {
  FollowUiLanguage(ThreadUiLanguage());
  const QString initial = QFile::decodeName(request.initial_path.c_str());
  QFileDialog dialog(nullptr, FromBytes(request.title));
  dialog.setObjectName(QStringLiteral("file-dialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(request.file_must_exist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  const QStringList filters = QtNameFilters(request.filters);
  dialog.setNameFilters(filters);
  if (request.filter_index >= 0 && request.filter_index < filters.size()) {
    dialog.selectNameFilter(filters[request.filter_index]);
  }
  if (!initial.isEmpty()) {
    const QFileInfo info(initial);
    dialog.setDirectory(info.absolutePath());
    dialog.selectFile(info.fileName());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  *path = QFile::encodeName(dialog.selectedFiles().first()).toStdString();
  return true;
}

bool QtDialogBackend::ChooseFolder(const std::string& title, std::string* path) {
  FollowUiLanguage(ThreadUiLanguage());
  const QString folder = QFileDialog::getExistingDirectory(
      nullptr, FromBytes(title), QString(), QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  if (folder.isEmpty()) return false;
  *path = QFile::encodeName(folder).toStdString();
  return true;
}

int QtDialogBackend::ShowMessageBox(const MessageBoxRequest& request) {
  FollowUiLanguage(ThreadUiLanguage());
  QMessageBox box;
  box.setObjectName(QStringLiteral("message-box"));
  box.setWindowTitle(FromBytes(request.caption));
  box.setText(FromBytes(request.text));
  box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  switch (request.type & kMbIconMask) {
    case kMbIconError: box.setIcon(QMessageBox::Critical); break;
    case kMbIconQuestion: box.setIcon(QMessageBox::Question); break;
    case kMbIconWarning: box.setIcon(QMessageBox::Warning); break;
    case kMbIconInformation: box.setIcon(QMessageBox::Information); break;
    default: break;
  }
  switch (request.type & kMbButtonMask) {
    case kMbOkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case kMbYesNoCancel: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel); break;
    case kMbYesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
  }
  switch (box.exec()) {
    case QMessageBox::Ok: return kIdOk;
    case QMessageBox::Yes: return kIdYes;
    case QMessageBox::No: return kIdNo;
    default: return kIdCancel;
  }
}

std::string QtDialogBackend::KeyboardLayoutLanguage() const {
  const QInputMethod* input = QGuiApplication::inputMethod();
  if (input == nullptr) return "";
  const QLocale locale = input->locale();
  if (locale.language() == QLocale::C) return "";
  return locale.name().section(QLatin1Char('_'), 0, 0).toStdString();
}

}  // namespace ui::qt
