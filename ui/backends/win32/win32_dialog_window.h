// One running Win32 dialog as the dialog runtime sees it: the DialogWindow
// over a real dialog window, and the dialog procedure that turns the
// window's messages into the runtime's.
#pragma once

#include <windows.h>
#undef PostMessage  // DialogWindow has a member of that name

#include <deque>
#include <map>

#include "ui/dialog_backend.h"
#include "ui/resources/templates.h"

namespace ui::win32 {

class Win32DialogWindow : public DialogWindow {
 public:
  Win32DialogWindow(DialogLayout layout, DialogProc proc);
  ~Win32DialogWindow() override;
  Win32DialogWindow(const Win32DialogWindow&) = delete;
  Win32DialogWindow& operator=(const Win32DialogWindow&) = delete;

  // Shows the dialog modally over `owner`; returns the result given to
  // EndDialog, or -1 when the window cannot be made.
  intptr_t Run(HWND owner);
  HWND Handle() const { return hwnd_; }
  // A character typed where no control takes text, offered to the dialog;
  // true when the dialog answered it.
  bool OfferTypedKey(wchar_t character);
  static INT_PTR CALLBACK DialogProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  // DialogWindow.
  void SetCaption(const std::string& text) override;
  std::string Caption() const override;
  void EndDialog(intptr_t result) override;
  void PostMessage(unsigned message, uintptr_t wparam, intptr_t lparam) override;
  void MakeTopMost() override;
  void ShowDialog() override;
  PixelRect ScreenRect() const override;
  void MoveTo(int screen_left, int screen_top) override;
  PixelRect AvailableScreenArea() const override;

  bool HasItem(int id) const override;
  void SetItemText(int id, const std::string& text, int code_page) override;
  std::string ItemText(int id) const override;
  void ShowItem(int id, bool show) override;
  bool IsItemVisible(int id) const override;
  void EnableItem(int id, bool enable) override;
  void EmphasizeItem(int id) override;
  PixelRect ItemRect(int id) const override;
  PixelRect ItemScreenRect(int id) const override;
  void MoveItem(int id, const PixelRect& rect) override;
  void SetFocus(int id) override;
  int FocusedItem() const override;

  void SetCheck(int id, bool checked) override;
  bool IsChecked(int id) const override;

  void ResetContent(int id) override;
  int AddItem(int id, const std::string& text, intptr_t data, int code_page) override;
  int ItemCount(int id) const override;
  std::string ItemTextAt(int id, int index) const override;
  intptr_t ItemData(int id, int index) const override;
  int FindItemPrefix(int id, const std::string& prefix) const override;
  void SetCurrentItem(int id, int index) override;
  int CurrentItem(int id) const override;
  void ShowDropDown(int id, bool show) override;

  int InsertTab(int id, int index, const std::string& text) override;
  int TabCount(int id) const override;
  void SetCurrentTab(int id, int index) override;
  int CurrentTab(int id) const override;

 private:
  struct PostedMessage {
    unsigned message;
    uintptr_t wparam;
    intptr_t lparam;
  };

  INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  intptr_t Deliver(unsigned message, uintptr_t wparam, intptr_t lparam);

  HWND Item(int id) const;
  ControlKind KindOf(int id) const;
  unsigned StyleOf(int id) const;
  bool IsListBox(int id) const { return KindOf(id) == ControlKind::ListBox; }

  DialogLayout layout_;
  DialogProc proc_;
  std::map<int, ControlKind> kinds_;
  std::map<int, unsigned> styles_;
  HWND hwnd_ = nullptr;
  bool ended_ = false;
  bool initializing_ = false;
  bool focus_chosen_ = false;
  HFONT emphasis_font_ = nullptr;
  std::deque<PostedMessage> posted_;
};

}  // namespace ui::win32
