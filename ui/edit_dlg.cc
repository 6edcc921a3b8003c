#include "ui/edit_dlg.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "platform/codepage.h"
#include "settings/config.h"
#include "ui/key_file_id.h"
#include "ui/load_string.h"
#include "ui/message_box.h"
#include "ui/reask_list.h"
#include "ui/request_origin.h"
#include "ui/request_dlg.h"
#include "ui/settings_messages.h"

namespace ui {
namespace {

constexpr int kCaptionString = 106;
constexpr int kKeyNameString = 109;
constexpr int kSerialString = 164;
constexpr int kErrorCaptionString = 101;
constexpr int kUnrepresentableTextString = 168;
constexpr int kNameCapacity = 1024;
constexpr int kPathCapacity = 260;

void CopyInto(const std::string& text, char* buffer, int capacity) {
  const size_t length = std::min(text.size(), static_cast<size_t>(capacity - 1));
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

// The key list stores only names and paths that load back whole: a longer one
// is refused here, with a message, instead of being lost at the next load.
bool FitsName(const char* name) {
  if (std::strlen(name) <= kKeyNameMaxBytes) return true;
  ShowSettingsError(kStringKeyNameTooLong, std::to_string(kKeyNameMaxBytes));
  return false;
}

bool FitsPath(const char* path) {
  if (std::strlen(path) <= kKeyPathMaxBytes) return true;
  ShowSettingsError(kStringKeyPathTooLong, std::to_string(kKeyPathMaxBytes));
  return false;
}

// Asks for a key name, starting from `name` (ANSI, as the key list keeps it).
// Names are kept in the ANSI code page, so one with a character the page cannot
// hold is refused with a message rather than stored with "?" in its place.
bool AskKeyName(std::string* name) {
  char typed[kNameCapacity];
  CopyInto(platform::ansi_to_utf8(*name), typed, sizeof typed);
  if (!AskText(LoadResString(kKeyNameString), typed, sizeof typed) || typed[0] == '\0') return false;
  const std::optional<std::string> ansi = platform::utf8_to_ansi_exact(typed);
  if (!ansi) {
    ShowMessageBoxFromStrings(kUnrepresentableTextString, kErrorCaptionString, kMbOk | kMbIconError);
    return false;
  }
  if (!FitsName(ansi->c_str())) return false;
  *name = *ansi;
  return true;
}

}  // namespace

bool IsTokenEntry(const KeyListEntry& entry) { return std::atoi(entry.path.c_str()) != 0; }

intptr_t CEditDlg::OnInitDialog() {
  if (key_list_ == nullptr) return 0;
  FillList();
  // A page that opens key management is named, as in the authorization dialog.
  ShowRequestOrigin(Window(), kSiteLabel, kSite);
  FillReaskList(Window(), kReaskList, Config::Instance().ReaskIndex);
  if (!offers_reask_) {
    Window()->ShowItem(kReaskLabel, false);
    Window()->ShowItem(kReaskList, false);
  }
  return 1;
}

void CEditDlg::FillList() {
  Window()->ResetContent(kKeyListBox);
  for (KeyListEntry* entry = key_list_->head(); entry != nullptr; entry = entry->next) {
    if (entry->flag != 0) continue;
    char name[kNameCapacity];
    CopyInto(entry->name, name, sizeof name);
    Window()->AddItem(kKeyListBox, platform::ansi_to_utf8(name), reinterpret_cast<intptr_t>(entry));
  }
  Window()->SetCurrentItem(kKeyListBox, static_cast<int>(Config::Instance().KeyIndex));
}

KeyListEntry* CEditDlg::CurrentEntry() const {
  const int line = Window()->CurrentItem(kKeyListBox);
  if (line < 0) return nullptr;
  return reinterpret_cast<KeyListEntry*>(Window()->ItemData(kKeyListBox, line));
}

void CEditDlg::SelectionChanged() {
  selected_ = CurrentEntry();
  if (selected_ == nullptr || selected_->path.empty()) return;
  std::string user_id = ReadKeyFileId(selected_->path);
  if (user_id.empty()) user_id = "unknown";
  const std::string format = LoadResString(kCaptionString);
  char caption[1024];
  std::snprintf(caption, sizeof caption, format.c_str(), platform::ansi_to_utf8(user_id).c_str());
  Window()->SetCaption(caption);
}

intptr_t CEditDlg::OnCommand(uintptr_t wparam, intptr_t, int code) {
  switch (CommandId(wparam)) {
    case kKeyListBox:
      if (code == kListSelChange) {
        SelectionChanged();
      } else if (code == kListDblClk) {
        SelectionChanged();
        Window()->EndDialog(kResultSelect);
      }
      return 1;
    case kSelect: {
      SelectionChanged();
      const int reask = offers_reask_ ? Window()->CurrentItem(kReaskList) : -1;
      if (reask >= 0) Config::Instance().ReaskIndex = static_cast<uint32_t>(reask);
      Window()->EndDialog(kResultSelect);
      return 1;
    }
    case kAdd:
      Add();
      return 1;
    case kRename:
      Rename();
      return 1;
    case kChange:
      Change();
      return 1;
    case kDelete:
      Delete();
      return 1;
    default:
      return 0;
  }
}

void CEditDlg::Add() {
  if (!TryBeginBusy()) return;
  char path[kPathCapacity] = {};
  if (ChooseKeyFile(path, sizeof path) && path[0] != '\0' && FitsPath(path)) {
    std::string name = ReadKeyFileId(path);
    if (AskKeyName(&name)) {
      key_list_->Append(name, path);
      FillList();
    }
  }
  EndBusy();
}

void CEditDlg::Rename() {
  if (!TryBeginBusy()) return;
  selected_ = CurrentEntry();
  if (selected_ != nullptr) {
    std::string name = selected_->name;
    if (AskKeyName(&name)) selected_->name = name;
    FillList();
  }
  EndBusy();
}

void CEditDlg::Change() {
  if (!TryBeginBusy()) return;
  selected_ = CurrentEntry();
  if (selected_ != nullptr) {
    char path[kPathCapacity];
    CopyInto(selected_->path, path, sizeof path);
    const bool changed = IsTokenEntry(*selected_)
                             ? AskText(LoadResString(kSerialString), path, sizeof path)
                             : ChooseKeyFile(path, sizeof path);
    if (changed && path[0] != '\0' && FitsPath(path)) selected_->path = path;
    FillList();
  }
  EndBusy();
}

void CEditDlg::Delete() {
  if (!TryBeginBusy()) return;
  KeyListEntry* entry = CurrentEntry();
  if (entry != nullptr) {
    // Forget the entry before it is freed, so that no caller reads it later.
    selected_ = nullptr;
    key_list_->Remove(entry);
    FillList();
  }
  EndBusy();
}

}  // namespace ui
