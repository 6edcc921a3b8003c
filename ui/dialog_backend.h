// The backend that shows dialogs: Qt widgets for users, an in-memory one for
// tests. One backend is active per process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/dialog_window.h"

namespace ui {

// The dialog procedure that a backend calls for every message of a dialog.
using DialogProc = intptr_t (*)(DialogWindow* window, unsigned message, uintptr_t wparam,
                                intptr_t lparam);

struct FileFilter {
  std::string description;  // UTF-8
  std::string pattern;      // e.g. "*.key"
};

struct OpenFileRequest {
  std::string title;  // UTF-8
  std::vector<FileFilter> filters;
  int filter_index = 0;      // the filter selected first
  std::string initial_path;  // the current content of the caller's buffer
  bool path_must_exist = true;
  bool file_must_exist = true;
};

class DialogBackend {
 public:
  virtual ~DialogBackend() = default;

  // Shows template `template_id` in the thread's UI language modally over
  // `parent` (none: no owner) and delivers its messages to `proc`. Returns
  // the result given to EndDialog, or -1 when the dialog cannot be shown.
  virtual intptr_t RunModal(int template_id, DialogWindow* parent, DialogProc proc) = 0;

  // The open-file dialog without an owner window. False when cancelled.
  virtual bool ChooseOpenFile(const OpenFileRequest& request, std::string* path) = 0;

  // The folder picker without an owner window: file-system folders only, with
  // an edit box and a button for a new folder. False when cancelled; a backend
  // without a folder picker answers as if the user had cancelled.
  virtual bool ChooseFolder(const std::string& title, std::string* path) {
    (void)title;
    (void)path;
    return false;
  }

  // The two-letter ISO 639 name of the active keyboard layout's language
  // ("en", "ru"); empty when it cannot be found.
  virtual std::string KeyboardLayoutLanguage() const = 0;
};

// The active backend; none until the program or a test sets one.
void SetDialogBackend(DialogBackend* backend);
DialogBackend* ActiveDialogBackend();

// Splits a filter text whose parts are separated by "#" (description,
// pattern, description, pattern, ...) into filters.
std::vector<FileFilter> ParseFileFilters(const std::string& text);

}  // namespace ui
