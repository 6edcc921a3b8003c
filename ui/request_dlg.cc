#include "ui/request_dlg.h"

#include <cstring>

#include "ui/load_string.h"

namespace ui {
namespace {

constexpr int kKeyFileFilterString = 107;
constexpr int kKeyFileTitleString = 108;

// Copies at most capacity - 1 bytes and a NUL.
void CopyLimited(const std::string& text, char* buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return;
  const size_t length = std::min(text.size(), static_cast<size_t>(capacity - 1));
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

}  // namespace

intptr_t CRequestDlg::OnInitDialog() {
  Window()->SetCaption(title_);
  if (buffer_ != nullptr && buffer_[0] != '\0') Window()->SetItemText(kEdit, buffer_);
  return 1;
}

bool CRequestDlg::OnOK() {
  CopyLimited(Window()->ItemText(kEdit), buffer_, capacity_);
  return true;
}

bool CRequestDlg::OnCancel() {
  if (buffer_ != nullptr && capacity_ > 0) buffer_[0] = '\0';
  return true;
}

bool AskText(const std::string& title, char* buffer, int capacity) {
  CRequestDlgImp dialog(title, buffer, capacity);
  return dialog.DoModal(CRequestDlg::kTemplateId, nullptr) == kResultOk;
}

bool ChooseKeyFile(char* buffer, int capacity) {
  DialogBackend* backend = ActiveDialogBackend();
  if (backend == nullptr || buffer == nullptr || capacity <= 0) return false;
  OpenFileRequest request;
  request.title = LoadResString(kKeyFileTitleString);
  request.filters = ParseFileFilters(LoadResString(kKeyFileFilterString));
  request.filter_index = 0;
  request.initial_path.assign(buffer, strnlen(buffer, static_cast<size_t>(capacity)));
  std::string path;
  if (!backend->ChooseOpenFile(request, &path)) return false;
  // The chooser refuses a name longer than the caller's buffer.
  if (path.size() >= static_cast<size_t>(capacity)) return false;
  CopyLimited(path, buffer, capacity);
  return true;
}

}  // namespace ui
