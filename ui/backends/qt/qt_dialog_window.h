// One running dialog as a Qt dialog with real widgets built from its template.
#pragma once

#include <QDialog>
#include <map>

#include "ui/backends/qt/qt_controls.h"
#include "ui/dialog_backend.h"
#include "ui/resources/templates.h"

namespace ui::qt {

class QtDialogWindow : public QDialog, public DialogWindow {
 public:
  QtDialogWindow(const DialogLayout& layout, QWidget* parent, DialogProc proc);
  ~QtDialogWindow() override;

  // Initialises, shows modally and destroys the dialog; returns its result.
  intptr_t Run();

  // The widget of control `id`, for tests and the render program.
  QWidget* Item(int id) const;
  int TemplateId() const { return template_id_; }

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
  bool HasItem(int id) const override { return Item(id) != nullptr; }
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
  int FocusedItem() const override;
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

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void accept() override;
  void reject() override;

 private:
  struct Control {
    ControlLayout layout;
    QWidget* widget;
    bool shown;  // as the dialog asked; a label without text stays hidden
  };

  void Build(const DialogLayout& layout);
  QWidget* MakeWidget(const ControlLayout& control);
  QWidget* MakeTextView(const ControlLayout& control);
  void WireCombo(int id, NotifyingComboBox* combo);
  const Control* Find(int id) const;
  // Shows a control as the dialog asked, but a label without text never:
  // assistive technology would announce an empty label.
  void ApplyVisibility(const Control& control);
  void Command(int id, int code);
  intptr_t Deliver(unsigned message, uintptr_t wparam, intptr_t lparam);
  // A key press that no control takes as text goes to the dialog first; true
  // when the dialog answered it.
  bool OfferTypedKey(const QKeyEvent* event);

  int template_id_;
  DialogProc proc_;
  DialogUnits units_;
  std::map<int, Control> controls_;
  bool ended_ = false;
  intptr_t result_ = 0;
};

}  // namespace ui::qt
