// The dialog and message box backend for users: real Qt Widgets. Needs a
// QApplication; dialogs run on its thread.
#pragma once

#include <QString>
#include <vector>

#include "ui/dialog_backend.h"
#include "ui/message_box.h"

namespace ui::qt {

class QtDialogBackend : public DialogBackend, public MessageBoxBackend {
 public:
  // Becomes the active dialog and message box backend until destroyed.
  QtDialogBackend();
  ~QtDialogBackend() override;
  QtDialogBackend(const QtDialogBackend&) = delete;
  QtDialogBackend& operator=(const QtDialogBackend&) = delete;

  intptr_t RunModal(int template_id, DialogWindow* parent, DialogProc proc) override;
  bool ChooseOpenFile(const OpenFileRequest& request, std::string* path) override;
  bool ChooseFolder(const std::string& title, std::string* path) override;
  int ShowMessageBox(const MessageBoxRequest& request) override;
  std::string KeyboardLayoutLanguage() const override;

 private:
  DialogBackend* previous_dialogs_;
  MessageBoxBackend* previous_boxes_;
};

// The Qt name filters of a request: "Description (pattern)", without
// repeating a pattern the description already ends with.
QStringList QtNameFilters(const std::vector<FileFilter>& filters);

}  // namespace ui::qt
