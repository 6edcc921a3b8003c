#include "ui/backends/qt/qt_dialog_window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateEdit>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTimer>

#include "ui/backends/qt/qt_text.h"
#include "ui/dialog_messages.h"
#include "ui/system_command_hook.h"

namespace ui::qt {
namespace {

constexpr int kDataRole = Qt::UserRole;

bool IsCombo(ControlKind kind) { return kind == ControlKind::DropDownList || kind == ControlKind::ComboBox; }

// The index at which `text` goes into a sorted list of `count` items.
template <class TextAt>
int SortedPosition(int count, const QString& text, TextAt text_at) {
  int at = 0;
  while (at < count && QString::compare(text_at(at), text, Qt::CaseInsensitive) <= 0) ++at;
  return at;
}

// A long item in an editable combo box is shown from its start (a token's
// name first, its serial number cut), not scrolled to its end.
void ShowEditFromItsStart(QComboBox* combo) {
  if (combo->isEditable() && combo->lineEdit() != nullptr) combo->lineEdit()->setCursorPosition(0);
}

}  // namespace

QtDialogWindow::QtDialogWindow(const DialogLayout& layout, QWidget* parent, DialogProc proc)
    : QDialog(parent), template_id_(layout.id), proc_(proc), units_(DialogFont()) {
  setObjectName(QStringLiteral("dialog-%1").arg(layout.id));
  setFont(DialogFont());
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (layout.system_menu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  setWindowFlags(flags);
  setWindowTitle(QString::fromUtf8(layout.caption.c_str()));
  Build(layout);
  setFixedSize(units_.X(layout.width), units_.Y(layout.height));
}

QtDialogWindow::~QtDialogWindow() { ForgetSystemCommandTarget(this); }

namespace {

// Controls that take their accessible name from the static text before them.
bool TakesLabel(ControlKind kind) {
  return kind == ControlKind::Edit || kind == ControlKind::ListBox || kind == ControlKind::DropDownList ||
         kind == ControlKind::ComboBox || kind == ControlKind::DatePicker;
}

// A label's text as it is read out: "&" marks the shortcut letter, "&&" is "&".
QString SpokenLabel(const std::string& text) {
  QString spoken;
  const QString source = QString::fromUtf8(text.c_str());
  for (int i = 0; i < source.size(); ++i) {
    if (source[i] == '&' && i + 1 < source.size()) ++i;
    spoken += source[i];
  }
  return spoken.trimmed();
}

}  // namespace

void QtDialogWindow::Build(const DialogLayout& layout) {
  const ControlLayout* previous = nullptr;
  QWidget* previous_widget = nullptr;
  for (const ControlLayout& control : layout.controls) {
    QWidget* widget = MakeWidget(control);
    // As on Windows, the static text just before a control in tab order is its
    // label: its text names the control, and its "&" letter moves the focus there.
    if (TakesLabel(control.kind) && previous != nullptr && previous->kind == ControlKind::Static) {
      const QString name = SpokenLabel(previous->text);
      if (!name.isEmpty()) {
        widget->setAccessibleName(name);
        if (auto* label = qobject_cast<QLabel*>(previous_widget)) label->setBuddy(widget);
      }
    }
    previous = &control;
    previous_widget = widget;
    const DialogRect& r = control.rect;
    int height = units_.Y(r.height);
    // A combo box's template height includes its dropped list.
    if (IsCombo(control.kind)) height = std::min(height, widget->sizeHint().height());
    widget->setGeometry(units_.X(r.x), units_.Y(r.y), units_.X(r.width), height);
    const Control built{control, widget, (control.style & kStyleHidden) == 0};
    ApplyVisibility(built);
    if (control.id != -1) {
      widget->setObjectName(QStringLiteral("item-%1").arg(control.id));
      controls_[control.id] = built;
    }
  }
}

QWidget* QtDialogWindow::MakeWidget(const ControlLayout& control) {
  const int id = control.id;
  const QString text = QString::fromUtf8(control.text.c_str());
  switch (control.kind) {
    case ControlKind::Static: {
      auto* label = control.style & kStyleShortenAtStart ? new ShortenedLabel(text, this) : new QLabel(text, this);
      label->setTextFormat(Qt::PlainText);
      // Static text starts at the top of its rectangle, as on Windows: a label
      // taller than its text must not push the text down over what is below.
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      // A label with room for two lines wraps its text, as a Windows static does.
      label->setWordWrap(control.rect.height >= 16);
      return label;
    }
    case ControlKind::Button:
    case ControlKind::DefaultButton:
    case ControlKind::PushLikeCheckBox: {
      auto* button = new QPushButton(text, this);
      button->setAutoDefault(true);  // Enter on a focused button presses it
      button->setDefault(control.kind == ControlKind::DefaultButton && id == kCmdOk);
      button->setCheckable(control.kind == ControlKind::PushLikeCheckBox);
      connect(button, &QPushButton::clicked, this, [this, id] { Command(id, kButtonClicked); });
      button->installEventFilter(this);  // for the keys typed while it has the focus
      return button;
    }
    case ControlKind::CheckBox: {
      auto* box = new QCheckBox(text, this);
      connect(box, &QCheckBox::clicked, this, [this, id] { Command(id, kButtonClicked); });
      return box;
    }
    case ControlKind::Edit: {
      if (control.style & kStyleMultiLine) return MakeTextView(control);
      auto* edit = new QLineEdit(text, this);
      if (control.style & kStylePassword) edit->setEchoMode(QLineEdit::Password);
      edit->installEventFilter(this);
      connect(edit, &QLineEdit::textEdited, this, [this, id] { Command(id, kEditChange); });
      return edit;
    }
    case ControlKind::ListBox: {
      auto* list = new QListWidget(this);
      list->setSelectionMode(QAbstractItemView::SingleSelection);
      if (control.style & kStyleNotify) {
        // A click reports a selection change even on the current line.
        connect(list, &QListWidget::currentRowChanged, this, [this, id] { Command(id, kListSelChange); });
        connect(list, &QListWidget::itemClicked, this, [this, id] { Command(id, kListSelChange); });
        connect(list, &QListWidget::itemDoubleClicked, this, [this, id] { Command(id, kListDblClk); });
      }
      return list;
    }
    case ControlKind::DropDownList:
    case ControlKind::ComboBox: {
      auto* combo = new NotifyingComboBox(this);
      if (control.kind == ControlKind::ComboBox) {
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        connect(combo->lineEdit(), &QLineEdit::textEdited, this, [this, id] { Command(id, kComboEditChange); });
        connect(combo, QOverload<int>::of(&QComboBox::activated), combo, [combo] { ShowEditFromItsStart(combo); });
      }
      combo->installEventFilter(this);
      WireCombo(id, combo);
      return combo;
    }
    case ControlKind::TabControl: {
      auto* tabs = new TabControl(this);
      tabs->setDrawBase(false);  // the page frame takes its place
      tabs->setExpanding(false);
      connect(tabs, &QTabBar::currentChanged, this, [this, id] {
        NotifyHeader header{this, static_cast<uintptr_t>(id), kTabSelChange};
        Deliver(kMsgNotify, static_cast<uintptr_t>(id), reinterpret_cast<intptr_t>(&header));
      });
      return tabs;
    }
    case ControlKind::DatePicker: {
      auto* date = new QDateEdit(QDate::currentDate(), this);
      date->setCalendarPopup(true);
      date->setDisplayFormat(ShortDateFormat());
      return date;
    }
  }
  return new QWidget(this);
}

QWidget* QtDialogWindow::MakeTextView(const ControlLayout& control) {
  // Plain text only: a text that looks like markup is shown as its source.
  auto* view = new QPlainTextEdit(QString::fromUtf8(control.text.c_str()), this);
  view->setReadOnly(control.style & kStyleReadOnly);
  if (view->isReadOnly()) {
    // Read with the keyboard too: the arrows and Page keys scroll and select.
    view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  }
  view->setFocusPolicy(Qt::StrongFocus);
  view->setTabChangesFocus(true);  // Tab leaves the view, as in any other control
  view->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  view->setVerticalScrollBarPolicy(control.style & kStyleVScroll ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  return view;
}

void QtDialogWindow::WireCombo(int id, NotifyingComboBox* combo) {
  // A choice made in the dropped list reports "selection ends OK", "closed up"
  // and, when the item changed, "selection changed"; closing the list without
  // a choice reports "selection cancelled" and "closed up".
  struct State {
    bool dropped = false;
    bool chosen = false;
    int index_at_drop = -1;
  };
  auto state = std::make_shared<State>();
  combo->before_popup = [this, id, combo, state] {
    state->dropped = true;
    state->chosen = false;
    state->index_at_drop = combo->currentIndex();
    Command(id, kComboDropDown);
  };
  combo->after_popup = [this, id, state] {
    QTimer::singleShot(0, this, [this, id, state] {
      if (!state->dropped) return;
      state->dropped = false;
      if (!state->chosen) {
        Command(id, kComboSelEndCancel);
        Command(id, kComboCloseUp);
      }
    });
  };
  connect(combo, QOverload<int>::of(&QComboBox::activated), this, [this, id, state](int index) {
    if (state->dropped) {
      state->chosen = true;
      state->dropped = false;
      Command(id, kComboSelEndOk);
      Command(id, kComboCloseUp);
      if (index != state->index_at_drop) Command(id, kComboSelChange);
    } else {
      Command(id, kComboSelChange);
    }
  });
}

void QtDialogWindow::ApplyVisibility(const Control& control) {
  const auto* label = qobject_cast<const QLabel*>(control.widget);
  control.widget->setVisible(control.shown && (label == nullptr || !label->text().trimmed().isEmpty()));
}

const QtDialogWindow::Control* QtDialogWindow::Find(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : &it->second;
}

QWidget* QtDialogWindow::Item(int id) const {
  const Control* c = Find(id);
  return c ? c->widget : nullptr;
}

intptr_t QtDialogWindow::Deliver(unsigned message, uintptr_t wparam, intptr_t lparam) {
  return proc_(this, message, wparam, lparam);
}

void QtDialogWindow::Command(int id, int code) {
  if (ended_) return;
  Deliver(kMsgCommand, MakeCommandParam(id, code), 0);
}

intptr_t QtDialogWindow::Run() {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  move(screen.center() - QPoint(width() / 2, height() / 2));
  Deliver(kMsgInitDialog, 0, 0);
  if (!ended_) exec();
  Deliver(kMsgDestroy, 0, 0);
  ForgetSystemCommandTarget(this);
  return result_;
}

// ---- the dialog ------------------------------------------------------------

void QtDialogWindow::SetCaption(const std::string& text) { setWindowTitle(FromBytes(text)); }

std::string QtDialogWindow::Caption() const { return ToUtf8(windowTitle()); }

void QtDialogWindow::EndDialog(intptr_t result) {
  if (ended_) return;
  ended_ = true;
  result_ = result;
  done(static_cast<int>(result));
}

void QtDialogWindow::PostMessage(unsigned message, uintptr_t wparam, intptr_t lparam) {
  // Queued on this window: lost when the window goes away, like a message
  // posted to a destroyed window.
  QTimer::singleShot(0, this, [this, message, wparam, lparam] {
    if (!ended_) Deliver(message, wparam, lparam);
  });
}

void QtDialogWindow::MakeTopMost() { setWindowFlag(Qt::WindowStaysOnTopHint, true); }

void QtDialogWindow::ShowDialog() {
  show();
  raise();
  activateWindow();
}

PixelRect QtDialogWindow::ScreenRect() const {
  QRect r = frameGeometry();
  // Before a window is first shown its frame is not known yet; a dialog's
  // frame is the same as its parent dialog's, so that one's margins count.
  if (!testAttribute(Qt::WA_WState_Created) || !isVisible()) {
    if (const QWidget* parent = parentWidget() ? parentWidget()->window() : nullptr) {
      const QRect outer = parent->frameGeometry(), inner = parent->geometry();
      r.adjust(outer.left() - inner.left(), outer.top() - inner.top(), outer.right() - inner.right(),
               outer.bottom() - inner.bottom());
    }
  }
  return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

void QtDialogWindow::MoveTo(int screen_left, int screen_top) { move(screen_left, screen_top); }

PixelRect QtDialogWindow::AvailableScreenArea() const {
  const QScreen* screen = QGuiApplication::screenAt(frameGeometry().center());
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {};
  const QRect r = screen->availableGeometry();
  return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

bool QtDialogWindow::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::WindowActivate:
    case QEvent::KeyboardLayoutChange:
      ReportSystemCommand();
      break;
    case QEvent::Move:
      if (isVisible()) ReportSystemCommand();
      break;
    default:
      break;
  }
  return QDialog::event(event);
}

bool QtDialogWindow::OfferTypedKey(const QKeyEvent* event) {
  const QString text = event->text();
  if (text.isEmpty() || !text.at(0).isPrint() || ended_) return false;
  return Deliver(kMsgTypedKey, text.at(0).unicode(), 0) != 0;
}

bool QtDialogWindow::eventFilter(QObject* watched, QEvent* event) {
  // A button takes no text, but Space would press it.
  if (event->type() == QEvent::KeyPress && qobject_cast<QAbstractButton*>(watched) != nullptr &&
      OfferTypedKey(static_cast<QKeyEvent*>(event)))
    return true;
  if (event->type() == QEvent::FocusIn) {
    for (const auto& [id, control] : controls_) {
      if (control.widget != watched) continue;
      // Edits and combo boxes say when they get the focus; buttons do not.
      if (control.layout.kind == ControlKind::Edit) Command(id, kEditSetFocus);
      else if (IsCombo(control.layout.kind)) Command(id, kComboSetFocus);
      break;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void QtDialogWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // As on Windows, Enter does not reach a disabled OK button.
      if (const QWidget* ok = Item(kCmdOk); ok == nullptr || ok->isEnabled()) Command(kCmdOk, kButtonClicked);
      return;
    case Qt::Key_Escape:
      Command(kCmdCancel, kButtonClicked);
      return;
    default:
      if (!OfferTypedKey(event)) QDialog::keyPressEvent(event);
  }
}

void QtDialogWindow::closeEvent(QCloseEvent* event) {
  // The close button is the system menu's "Close": it sends Cancel.
  event->ignore();
  Command(kCmdCancel, kButtonClicked);
}

void QtDialogWindow::accept() { Command(kCmdOk, kButtonClicked); }
void QtDialogWindow::reject() { Command(kCmdCancel, kButtonClicked); }

// ---- controls --------------------------------------------------------------

void QtDialogWindow::SetItemText(int id, const std::string& bytes, int code_page) {
  const Control* c = Find(id);
  if (c == nullptr) return;
  const QString text = FromBytes(bytes, code_page);
  QWidget* w = c->widget;
  if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(text);
    // A shortened line shows its whole text when the pointer rests on it.
    if (dynamic_cast<ShortenedLabel*>(label) != nullptr) label->setToolTip(text);
    ApplyVisibility(*c);
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) button->setText(text);
  else if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->setText(text);
  else if (auto* view = qobject_cast<QPlainTextEdit*>(w)) {
    view->setPlainText(text);
    view->moveCursor(QTextCursor::Start);  // the text is read from its top
  } else if (auto* date = qobject_cast<QDateEdit*>(w)) date->setDate(QDate::fromString(text, date->displayFormat()));
  else if (auto* combo = qobject_cast<QComboBox*>(w)) {
    if (combo->isEditable()) combo->setEditText(text);
  }
}

std::string QtDialogWindow::ItemText(int id) const {
  const Control* c = Find(id);
  if (c == nullptr) return "";
  QWidget* w = c->widget;
  if (auto* label = qobject_cast<QLabel*>(w)) return ToUtf8(label->text());
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return ToUtf8(button->text());
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return ToUtf8(edit->text());
  if (auto* view = qobject_cast<QPlainTextEdit*>(w)) return ToUtf8(view->toPlainText());
  if (auto* date = qobject_cast<QDateEdit*>(w)) return ToUtf8(date->text());
  if (auto* combo = qobject_cast<QComboBox*>(w)) return ToUtf8(combo->currentText());
  if (auto* list = qobject_cast<QListWidget*>(w)) {
    return list->currentItem() ? ToUtf8(list->currentItem()->text()) : "";
  }
  return "";
}

void QtDialogWindow::ShowItem(int id, bool show) {
  const auto it = controls_.find(id);
  if (it == controls_.end()) return;
  it->second.shown = show;
  ApplyVisibility(it->second);
}

bool QtDialogWindow::IsItemVisible(int id) const {
  const Control* c = Find(id);
  return c != nullptr && c->shown;
}

void QtDialogWindow::EnableItem(int id, bool enable) {
  if (QWidget* w = Item(id)) w->setEnabled(enable);
}

void QtDialogWindow::EmphasizeItem(int id) {
  QWidget* w = Item(id);
  if (w == nullptr) return;
  QFont font = w->font();
  font.setBold(true);
  w->setFont(font);
  QPalette palette = w->palette();
  palette.setColor(QPalette::WindowText, QColor(0xb0, 0x00, 0x00));
  w->setPalette(palette);
  QApplication::beep();
}

PixelRect QtDialogWindow::ItemRect(int id) const {
  QWidget* w = Item(id);
  if (w == nullptr) return {};
  const QRect r = w->geometry();
  return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

PixelRect QtDialogWindow::ItemScreenRect(int id) const {
  QWidget* w = Item(id);
  if (w == nullptr) return {};
  const QPoint origin = w->mapToGlobal(QPoint(0, 0));
  return {origin.x(), origin.y(), origin.x() + w->width(), origin.y() + w->height()};
}

void QtDialogWindow::MoveItem(int id, const PixelRect& rect) {
  if (QWidget* w = Item(id)) w->setGeometry(rect.left, rect.top, rect.width(), rect.height());
}

void QtDialogWindow::SetFocus(int id) {
  if (QWidget* w = Item(id)) w->setFocus(Qt::OtherFocusReason);
}

int QtDialogWindow::FocusedItem() const {
  const QWidget* focus = focusWidget();
  for (const auto& [id, control] : controls_) {
    if (control.widget == focus || (focus && control.widget->isAncestorOf(focus))) return id;
  }
  return 0;
}

void QtDialogWindow::SetCheck(int id, bool checked) {
  if (auto* button = qobject_cast<QAbstractButton*>(Item(id))) {
    const QSignalBlocker quiet(button);
    button->setChecked(checked);
  }
}

bool QtDialogWindow::IsChecked(int id) const {
  auto* button = qobject_cast<QAbstractButton*>(Item(id));
  return button != nullptr && button->isChecked();
}

void QtDialogWindow::ResetContent(int id) {
  QWidget* w = Item(id);
  const QSignalBlocker quiet(w);
  if (auto* combo = qobject_cast<QComboBox*>(w)) combo->clear();
  else if (auto* list = qobject_cast<QListWidget*>(w)) list->clear();
}

int QtDialogWindow::AddItem(int id, const std::string& bytes, intptr_t data, int code_page) {
  const Control* c = Find(id);
  if (c == nullptr) return -1;
  const QString text = FromBytes(bytes, code_page);
  const bool sorted = (c->layout.style & kStyleSorted) != 0;
  const QSignalBlocker quiet(c->widget);
  if (auto* combo = qobject_cast<QComboBox*>(c->widget)) {
    const int at = sorted ? SortedPosition(combo->count(), text, [&](int i) { return combo->itemText(i); })
                          : combo->count();
    const QString edit_text = combo->currentText();
    const bool keep_empty = combo->isEditable() && combo->currentIndex() < 0;
    combo->insertItem(at, text, QVariant::fromValue<qlonglong>(data));
    // Adding an item neither selects it nor changes the edit text.
    if (keep_empty) {
      combo->setCurrentIndex(-1);
      combo->setEditText(edit_text);
    } else if (combo->count() == 1) {
      combo->setCurrentIndex(-1);
    }
    return at;
  }
  if (auto* list = qobject_cast<QListWidget*>(c->widget)) {
    const int at = sorted ? SortedPosition(list->count(), text, [&](int i) { return list->item(i)->text(); })
                          : list->count();
    auto* item = new QListWidgetItem(text);
    item->setData(kDataRole, QVariant::fromValue<qlonglong>(data));
    list->insertItem(at, item);
    return at;
  }
  return -1;
}

int QtDialogWindow::ItemCount(int id) const {
  QWidget* w = Item(id);
  if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->count();
  if (auto* list = qobject_cast<QListWidget*>(w)) return list->count();
  return 0;
}

std::string QtDialogWindow::ItemTextAt(int id, int index) const {
  QWidget* w = Item(id);
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    return index >= 0 && index < combo->count() ? ToUtf8(combo->itemText(index)) : "";
  }
  if (auto* list = qobject_cast<QListWidget*>(w)) {
    return index >= 0 && index < list->count() ? ToUtf8(list->item(index)->text()) : "";
  }
  return "";
}

intptr_t QtDialogWindow::ItemData(int id, int index) const {
  QWidget* w = Item(id);
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    if (index >= 0 && index < combo->count()) return static_cast<intptr_t>(combo->itemData(index).toLongLong());
  }
  if (auto* list = qobject_cast<QListWidget*>(w)) {
    if (index >= 0 && index < list->count()) {
      return static_cast<intptr_t>(list->item(index)->data(kDataRole).toLongLong());
    }
  }
  return -1;
}

int QtDialogWindow::FindItemPrefix(int id, const std::string& prefix) const {
  const QString wanted = FromBytes(prefix);
  const int count = ItemCount(id);
  QWidget* w = Item(id);
  for (int i = 0; i < count; ++i) {
    QString text;
    if (auto* combo = qobject_cast<QComboBox*>(w)) text = combo->itemText(i);
    else if (auto* list = qobject_cast<QListWidget*>(w)) text = list->item(i)->text();
    if (text.startsWith(wanted, Qt::CaseInsensitive)) return i;
  }
  return -1;
}

void QtDialogWindow::SetCurrentItem(int id, int index) {
  QWidget* w = Item(id);
  const QSignalBlocker quiet(w);
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    ShowEditFromItsStart(combo);
  } else if (auto* list = qobject_cast<QListWidget*>(w)) {
    list->setCurrentRow(index >= 0 && index < list->count() ? index : -1);
  }
}

int QtDialogWindow::CurrentItem(int id) const {
  QWidget* w = Item(id);
  if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentIndex();
  if (auto* list = qobject_cast<QListWidget*>(w)) return list->currentRow();
  return -1;
}

void QtDialogWindow::ShowDropDown(int id, bool show) {
  auto* combo = qobject_cast<QComboBox*>(Item(id));
  if (combo == nullptr) return;
  if (show) combo->showPopup();
  else combo->hidePopup();
}

int QtDialogWindow::InsertTab(int id, int index, const std::string& text) {
  auto* tabs = qobject_cast<QTabBar*>(Item(id));
  if (tabs == nullptr) return -1;
  const QSignalBlocker quiet(tabs);
  return tabs->insertTab(index, FromBytes(text));
}

int QtDialogWindow::TabCount(int id) const {
  auto* tabs = qobject_cast<QTabBar*>(Item(id));
  return tabs ? tabs->count() : 0;
}

void QtDialogWindow::SetCurrentTab(int id, int index) {
  auto* tabs = qobject_cast<QTabBar*>(Item(id));
  if (tabs == nullptr) return;
  const QSignalBlocker quiet(tabs);
  tabs->setCurrentIndex(index);
}

int QtDialogWindow::CurrentTab(int id) const {
  auto* tabs = qobject_cast<QTabBar*>(Item(id));
  return tabs ? tabs->currentIndex() : -1;
}

}  // namespace ui::qt
