// The key management dialog: the user's list of keys with buttons to add a
// key file, rename an entry, change its file (or a token entry's serial
// number), delete it and select one, and the "Ask again" choice.
#pragma once

#include "settings/key_list.h"
#include "ui/dialog.h"

namespace ui {

class CEditDlg : public CDialog {
 public:
  static constexpr int kTemplateId = 203;
  static constexpr intptr_t kResultSelect = 6;
  // Control ids.
  static constexpr int kKeyListBox = 205;
  static constexpr int kAdd = 206;
  static constexpr int kDelete = 207;
  static constexpr int kChange = 209;
  static constexpr int kRename = 221;
  static constexpr int kReaskLabel = 489;
  static constexpr int kReaskList = 204;
  static constexpr int kSelect = 6;
  static constexpr int kSiteLabel = 495;
  static constexpr int kSite = 496;

  // The list shown and edited; the caller owns and saves it.
  void SetKeyList(KeyList* list) { key_list_ = list; }
  // false hides the "Ask again" list and its label and leaves the stored
  // choice alone: a host that opens the key once per request cannot keep it.
  void SetOffersReask(bool offers) { offers_reask_ = offers; }
  // The entry current at the last selection change, "Select" or double-click.
  KeyListEntry* SelectedEntry() const { return selected_; }

  intptr_t OnInitDialog() override;
  intptr_t OnCommand(uintptr_t wparam, intptr_t lparam, int code) override;

 private:
  bool offers_reask_ = true;
  void FillList();
  KeyListEntry* CurrentEntry() const;
  void SelectionChanged();
  void Add();
  void Rename();
  void Change();
  void Delete();

  KeyList* key_list_ = nullptr;
  KeyListEntry* selected_ = nullptr;
};

using CEditDlgImp = CDialogImp<CEditDlg>;

// A key list entry whose path reads as a non-zero number names a token key by
// its serial number; any other entry is a key file.
bool IsTokenEntry(const KeyListEntry& entry);

}  // namespace ui
