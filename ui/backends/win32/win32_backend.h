// The dialog and message box backend on Windows: real Win32 dialogs built in
// memory from the product's templates, system message boxes, the common
// file-open dialog and folder browser, and a thread CBT hook that reports
// system commands to the dialog runtime. Dialogs run on the calling thread;
// several threads may each run their own at once.
#pragma once

#include <windows.h>
#undef PostMessage

#include <vector>

#include "ui/dialog_backend.h"
#include "ui/message_box.h"

namespace ui::win32 {

class Win32DialogBackend : public DialogBackend, public MessageBoxBackend {
 public:
  // Becomes the active dialog and message box backend until destroyed, and
  // makes sure the tab and date picker window classes are registered.
  Win32DialogBackend();
  ~Win32DialogBackend() override;
  Win32DialogBackend(const Win32DialogBackend&) = delete;
  Win32DialogBackend& operator=(const Win32DialogBackend&) = delete;

  intptr_t RunModal(int template_id, DialogWindow* parent, DialogProc proc) override;
  bool ChooseOpenFile(const OpenFileRequest& request, std::string* path) override;
  bool ChooseFolder(const std::string& title, std::string* path) override;
  int ShowMessageBox(const MessageBoxRequest& request) override;
  std::string KeyboardLayoutLanguage() const override;

  // The innermost dialog the calling thread runs now; none when it runs none.
  HWND ActiveDialog() const;

 private:
  DialogBackend* previous_dialogs_;
  MessageBoxBackend* previous_boxes_;
};

// The two-letter ISO 639 name of a keyboard layout's language, from its
// name as GetKeyboardLayoutNameA gives it ("00000419" gives "ru"); empty when
// the system knows no such language.
std::string LayoutLanguageName(const char* layout_name);

// The filter text of the open-file dialog: description NUL pattern NUL ...,
// ending in a second NUL.
std::wstring OpenFileFilter(const std::vector<FileFilter>& filters);

}  // namespace ui::win32
