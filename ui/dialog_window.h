// What a dialog does to its window and controls. A backend gives each running
// dialog one DialogWindow; the dialogs reach their controls only through it.
//
// Texts are in UTF-8 unless a call names another code page, so that they reach
// the screen whole whatever the ANSI code page. Paths from the file chooser are
// file-system names.
#pragma once

#include <cstdint>
#include <string>

namespace ui {

// Pixels, in the dialog's client coordinates unless stated otherwise.
struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

// Code page of a text handed to SetItemText; 0 means UTF-8.
constexpr int kUtf8Text = 0;

class DialogWindow {
 public:
  virtual ~DialogWindow() = default;

  // The dialog itself.
  virtual void SetCaption(const std::string& text) = 0;
  virtual std::string Caption() const = 0;
  virtual void EndDialog(intptr_t result) = 0;
  // Queues a message for the dialog procedure, delivered after the current one.
  virtual void PostMessage(unsigned message, uintptr_t wparam, intptr_t lparam) = 0;
  virtual void MakeTopMost() = 0;
  virtual void ShowDialog() = 0;
  virtual PixelRect ScreenRect() const = 0;
  virtual void MoveTo(int screen_left, int screen_top) = 0;
  // The available area of the screen the window is on (without task bars and
  // panels); an empty rectangle when it is not known.
  virtual PixelRect AvailableScreenArea() const { return {}; }

  // Any control.
  virtual bool HasItem(int id) const = 0;
  virtual void SetItemText(int id, const std::string& text, int code_page = kUtf8Text) = 0;
  virtual std::string ItemText(int id) const = 0;
  virtual void ShowItem(int id, bool show) = 0;
  virtual bool IsItemVisible(int id) const = 0;
  virtual void EnableItem(int id, bool enable) = 0;
  // Draws the user's eye to a control that says what to do (a label in a
  // stronger type, a warning sound).
  virtual void EmphasizeItem(int id) = 0;
  virtual PixelRect ItemRect(int id) const = 0;
  virtual PixelRect ItemScreenRect(int id) const = 0;
  virtual void MoveItem(int id, const PixelRect& rect) = 0;
  virtual void SetFocus(int id) = 0;
  virtual int FocusedItem() const = 0;  // 0 when no control has the focus

  // Check boxes and push-like check boxes.
  virtual void SetCheck(int id, bool checked) = 0;
  virtual bool IsChecked(int id) const = 0;

  // List boxes, drop-down lists and combo boxes. Indexes start at 0; -1 is none.
  // Item texts use the given code page like SetItemText.
  virtual void ResetContent(int id) = 0;
  virtual int AddItem(int id, const std::string& text, intptr_t data, int code_page = kUtf8Text) = 0;
  virtual int ItemCount(int id) const = 0;
  virtual std::string ItemTextAt(int id, int index) const = 0;
  virtual intptr_t ItemData(int id, int index) const = 0;
  // First item at or after index 0 whose text begins with `prefix`, ignoring case.
  virtual int FindItemPrefix(int id, const std::string& prefix) const = 0;
  virtual void SetCurrentItem(int id, int index) = 0;
  virtual int CurrentItem(int id) const = 0;
  virtual void ShowDropDown(int id, bool show) = 0;

  // Tab controls.
  virtual int InsertTab(int id, int index, const std::string& text) = 0;
  virtual int TabCount(int id) const = 0;
  virtual void SetCurrentTab(int id, int index) = 0;
  virtual int CurrentTab(int id) const = 0;
};

}  // namespace ui
