// A backend that keeps dialogs in memory and lets tests drive them: each
// dialog that opens runs the next script the test queued, which sets texts,
// clicks buttons, picks items and presses Enter or Esc like a user would.
// File dialogs are answered from a queue and message boxes are recorded.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ui/dialog_backend.h"
#include "ui/message_box.h"
#include "ui/resources/templates.h"

namespace ui {

class ScriptedBackend;

class ScriptedDialog : public DialogWindow {
 public:
  ScriptedDialog(ScriptedBackend* backend, DialogLayout layout, DialogWindow* parent, DialogProc proc);

  // What a user does. Each action is delivered at once, followed by every
  // message the dialog posted to itself meanwhile.
  void Click(int id);
  void SetText(int id, const std::string& text);  // typing into an edit or combo box
  void Focus(int id);
  void Select(int id, int index);        // a list box line, or a combo box item
  void DoubleClick(int id, int index);   // a list box line
  void PickFromDropDown(int id, int index);  // open a drop-down and choose an item
  void DismissDropDown(int id);          // open a drop-down and close it without a choice
  void SelectTab(int id, int index);
  void PressEnter();
  void PressEscape();
  void CloseWindow();                    // the caption's close button
  void SystemCommand();                  // e.g. the user starts to drag the caption
  // Characters typed on the real keyboard where no control takes them as text;
  // true when the dialog took note of every one.
  bool TypeOnKeyboard(const std::u16string& characters);

  // What the user sees.
  const DialogLayout& Layout() const { return layout_; }
  DialogWindow* Parent() const { return parent_; }
  std::string Text(int id) const { return ItemText(id); }
  int TextCodePage(int id) const;
  bool IsVisible(int id) const { return IsItemVisible(id); }
  bool IsEnabled(int id) const;
  bool IsEmphasized(int id) const;
  std::vector<std::string> Items(int id) const;
  bool IsDroppedDown(int id) const;
  bool IsTopMost() const { return top_most_; }
  std::vector<std::string> Tabs(int id) const;
  bool Ended() const { return ended_; }
  intptr_t Result() const { return result_; }
  // Calls the dialog procedure directly, as another window's message would.
  intptr_t Send(unsigned message, uintptr_t wparam, intptr_t lparam);

  // DialogWindow.
  void SetCaption(const std::string& text) override { caption_ = text; }
  std::string Caption() const override { return caption_; }
  void EndDialog(intptr_t result) override;
  void PostMessage(unsigned message, uintptr_t wparam, intptr_t lparam) override;
  void MakeTopMost() override { top_most_ = true; }
  void ShowDialog() override {}
  PixelRect ScreenRect() const override { return screen_; }
  void MoveTo(int screen_left, int screen_top) override;
  PixelRect AvailableScreenArea() const override;
  bool HasItem(int id) const override { return Find(id) != nullptr; }
  void SetItemText(int id, const std::string& text, int code_page = kUtf8Text) override;
  std::string ItemText(int id) const override;
  void ShowItem(int id, bool show) override;
  bool IsItemVisible(int id) const override;
  void EnableItem(int id, bool enable) override;
  void EmphasizeItem(int id) override;
  PixelRect ItemRect(int id) const override;
  PixelRect ItemScreenRect(int id) const override;
  void MoveItem(int id, const PixelRect& rect) override;
  void SetFocus(int id) override;
  int FocusedItem() const override { return focus_; }
  void SetCheck(int id, bool checked) override;
  bool IsChecked(int id) const override;
  void ResetContent(int id) override;
  int AddItem(int id, const std::string& text, intptr_t data, int code_page = kUtf8Text) override;
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
  friend class ScriptedBackend;

  struct Item {
    std::string text;
    intptr_t data;
    int code_page;
  };
  struct Control {
    ControlLayout layout;
    std::string text;
    int code_page = kUtf8Text;
    bool visible = true;
    bool enabled = true;
    bool emphasized = false;
    bool checked = false;
    bool dropped = false;
    PixelRect rect;
    std::vector<Item> items;
    int current = -1;
  };
  struct Posted {
    unsigned message;
    uintptr_t wparam;
    intptr_t lparam;
  };

  Control* Find(int id);
  const Control* Find(int id) const;
  // The control a user action is aimed at; reports and returns null when the
  // user could not reach it (missing, hidden or disabled).
  Control* Reachable(int id, const char* action);
  bool Acting(const char* action);
  void Command(int id, int code);
  void Pump();

  ScriptedBackend* backend_;
  DialogLayout layout_;
  DialogWindow* parent_;
  DialogProc proc_;
  std::string caption_;
  std::vector<Control> controls_;
  std::deque<Posted> posted_;
  PixelRect screen_;
  int focus_ = 0;
  bool top_most_ = false;
  bool ended_ = false;
  intptr_t result_ = 0;
};

class ScriptedBackend : public DialogBackend, public MessageBoxBackend {
 public:
  using Script = std::function<void(ScriptedDialog&)>;
  using FileAnswer = std::function<std::optional<std::string>(const OpenFileRequest&)>;

  // Becomes the active dialog and message box backend until destroyed.
  ScriptedBackend();
  ~ScriptedBackend() override;
  ScriptedBackend(const ScriptedBackend&) = delete;
  ScriptedBackend& operator=(const ScriptedBackend&) = delete;

  // The next dialog `template_id` that opens runs `script`, which plays the
  // user; scripts for one template run in the order they were queued.
  void ExpectDialog(int template_id, Script script);
  // The next file dialog answers `path`, or is cancelled for nullopt.
  void ExpectFileDialog(std::optional<std::string> path);
  void ExpectFileDialog(FileAnswer answer);

  // The next folder picker answers `path`, or is cancelled for nullopt.
  void ExpectFolderDialog(std::optional<std::string> path) { folder_answers_.push_back(std::move(path)); }

  // The innermost dialog that is open, or null.
  ScriptedDialog* CurrentDialog() const;
  // Every dialog template shown so far, in order.
  const std::vector<int>& Shown() const { return shown_; }
  const std::vector<OpenFileRequest>& FileRequests() const { return file_requests_; }
  // The title of every folder picker shown so far.
  const std::vector<std::string>& FolderRequests() const { return folder_requests_; }
  // Whatever went against the scripts: an unexpected dialog, a script that
  // left its dialog open, a click on a hidden control. Empty when all went well.
  const std::vector<std::string>& Problems() const { return problems_; }
  // The problems so far, for a test that provokes one; none are left.
  std::vector<std::string> TakeProblems() { return std::exchange(problems_, {}); }
  bool AllScriptsUsed() const { return scripts_.empty() && file_answers_.empty() && folder_answers_.empty(); }

  // Message boxes: every box is kept, and answered with the next queued answer
  // or with IDOK.
  std::vector<MessageBoxRequest> message_boxes;
  std::vector<int> message_box_answers;

  // The text a date picker shows when it opens.
  std::string today_text;
  // The language of the keyboard layout that the user has switched to.
  std::string keyboard_layout_language = "en";

  intptr_t RunModal(int template_id, DialogWindow* parent, DialogProc proc) override;
  bool ChooseOpenFile(const OpenFileRequest& request, std::string* path) override;
  bool ChooseFolder(const std::string& title, std::string* path) override;
  int ShowMessageBox(const MessageBoxRequest& request) override;
  std::string KeyboardLayoutLanguage() const override { return keyboard_layout_language; }

  void Problem(std::string text) { problems_.push_back(std::move(text)); }

 private:
  friend class ScriptedDialog;

  struct Expected {
    int template_id;
    Script script;
  };

  std::deque<Expected> scripts_;
  std::deque<FileAnswer> file_answers_;
  std::deque<std::optional<std::string>> folder_answers_;
  std::vector<std::string> folder_requests_;
  std::vector<ScriptedDialog*> open_;
  std::vector<int> shown_;
  std::vector<OpenFileRequest> file_requests_;
  std::vector<std::string> problems_;
  DialogBackend* previous_dialogs_;
  MessageBoxBackend* previous_boxes_;
};

// Today's date as dd.mm.yyyy.
std::string TodayDottedDate();

}  // namespace ui
