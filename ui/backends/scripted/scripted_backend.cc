#include "ui/backends/scripted/scripted_backend.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "platform/codepage.h"
#include "ui/dialog_messages.h"
#include "ui/language.h"
#include "ui/load_string.h"
#include "ui/system_command_hook.h"

namespace ui {
namespace {

// Dialog base units of the template font at 96 dpi.
constexpr int kBaseX = 6;
constexpr int kBaseY = 13;
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;

int ToPixelsX(int units) { return units * kBaseX / 4; }
int ToPixelsY(int units) { return units * kBaseY / 8; }

// A UTF-8 text in lower case, for ASCII and the Russian letters.
std::u16string Folded(const std::string& text) {
  std::u16string wide = platform::utf8_to_utf16(text);
  for (char16_t& c : wide) {
    if ((c >= u'A' && c <= u'Z') || (c >= u'\u0410' && c <= u'\u042F')) c += 0x20;
    if (c == u'\u0401') c = u'\u0451';
  }
  return wide;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return Folded(text).starts_with(Folded(prefix));
}

bool LessNoCase(const std::string& a, const std::string& b) { return Folded(a) < Folded(b); }

bool IsList(ControlKind kind) {
  return kind == ControlKind::ListBox || kind == ControlKind::DropDownList ||
         kind == ControlKind::ComboBox;
}

}  // namespace

std::string TodayDottedDate() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  const std::tm local = *std::localtime(&now);
  char text[48];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d", local.tm_mday, local.tm_mon + 1,
                local.tm_year + 1900);
  return text;
}

// ---- ScriptedDialog --------------------------------------------------------

ScriptedDialog::ScriptedDialog(ScriptedBackend* backend, DialogLayout layout, DialogWindow* parent,
                               DialogProc proc)
    : backend_(backend), layout_(std::move(layout)), parent_(parent), proc_(proc) {
  caption_ = layout_.caption;
  const int width = ToPixelsX(layout_.width);
  const int height = ToPixelsY(layout_.height);
  screen_ = {(kScreenWidth - width) / 2, (kScreenHeight - height) / 2, 0, 0};
  screen_.right = screen_.left + width;
  screen_.bottom = screen_.top + height;
  for (const ControlLayout& c : layout_.controls) {
    Control control;
    control.layout = c;
    control.text = c.text;
    control.visible = (c.style & kStyleHidden) == 0;
    control.rect = {ToPixelsX(c.rect.x), ToPixelsY(c.rect.y), ToPixelsX(c.rect.x + c.rect.width),
                    ToPixelsY(c.rect.y + c.rect.height)};
    if (c.kind == ControlKind::DatePicker) control.text = backend_->today_text;
    controls_.push_back(std::move(control));
  }
}

ScriptedDialog::Control* ScriptedDialog::Find(int id) {
  if (id == -1) return nullptr;
  for (Control& c : controls_) {
    if (c.layout.id == id) return &c;
  }
  return nullptr;
}

const ScriptedDialog::Control* ScriptedDialog::Find(int id) const {
  return const_cast<ScriptedDialog*>(this)->Find(id);
}

bool ScriptedDialog::Acting(const char* action) {
  if (!ended_) return true;
  backend_->Problem(std::string(action) + " on dialog " + std::to_string(layout_.id) +
                    " after it ended");
  return false;
}

ScriptedDialog::Control* ScriptedDialog::Reachable(int id, const char* action) {
  if (!Acting(action)) return nullptr;
  Control* c = Find(id);
  std::string why;
  if (c == nullptr) why = "missing";
  else if (!c->visible) why = "hidden";
  else if (!c->enabled) why = "disabled";
  if (why.empty()) return c;
  backend_->Problem(std::string(action) + " on " + why + " control " + std::to_string(id) +
                    " of dialog " + std::to_string(layout_.id));
  return nullptr;
}

intptr_t ScriptedDialog::Send(unsigned message, uintptr_t wparam, intptr_t lparam) {
  return proc_(this, message, wparam, lparam);
}

void ScriptedDialog::Command(int id, int code) {
  Send(kMsgCommand, MakeCommandParam(id, code), 0);
  Pump();
}

void ScriptedDialog::Pump() {
  // Messages posted to a dialog that has ended are lost with its window.
  while (!posted_.empty() && !ended_) {
    const Posted p = posted_.front();
    posted_.pop_front();
    Send(p.message, p.wparam, p.lparam);
  }
}

void ScriptedDialog::Click(int id) {
  Control* c = Reachable(id, "click");
  if (c == nullptr) return;
  if (c->layout.kind == ControlKind::PushLikeCheckBox || c->layout.kind == ControlKind::CheckBox) {
    c->checked = !c->checked;
  }
  Command(id, kButtonClicked);
}

void ScriptedDialog::SetText(int id, const std::string& text) {
  Control* c = Reachable(id, "typing");
  if (c == nullptr) return;
  if (c->layout.style & kStyleReadOnly) {
    backend_->Problem("typing into read-only control " + std::to_string(id));
    return;
  }
  c->text = text;
  c->code_page = kUtf8Text;
  Command(id, c->layout.kind == ControlKind::ComboBox ? kComboEditChange : kEditChange);
}

void ScriptedDialog::Focus(int id) {
  Control* c = Reachable(id, "focus");
  if (c == nullptr) return;
  focus_ = id;
  if (c->layout.kind == ControlKind::Edit) Command(id, kEditSetFocus);
  else if (c->layout.kind == ControlKind::ComboBox || c->layout.kind == ControlKind::DropDownList)
    Command(id, kComboSetFocus);
}

void ScriptedDialog::Select(int id, int index) {
  Control* c = Reachable(id, "select");
  if (c == nullptr) return;
  if (index < 0 || index >= static_cast<int>(c->items.size())) {
    backend_->Problem("select of missing item " + std::to_string(index) + " in control " +
                      std::to_string(id));
    return;
  }
  c->current = index;
  if (c->layout.kind == ControlKind::ComboBox) c->text = c->items[index].text;
  // A list box notifies only with the notify style.
  if (c->layout.kind != ControlKind::ListBox || (c->layout.style & kStyleNotify)) {
    Command(id, kListSelChange);
  }
}

void ScriptedDialog::DoubleClick(int id, int index) {
  Select(id, index);
  Control* c = Find(id);
  if (c != nullptr && !ended_ && (c->layout.style & kStyleNotify)) Command(id, kListDblClk);
}

void ScriptedDialog::PickFromDropDown(int id, int index) {
  Control* c = Reachable(id, "drop-down");
  if (c == nullptr) return;
  if (index < 0 || index >= static_cast<int>(c->items.size())) {
    backend_->Problem("pick of missing item " + std::to_string(index));
    return;
  }
  if (!c->dropped) {
    Command(id, kComboDropDown);
    c->dropped = true;
  }
  const bool changed = c->current != index;
  c->current = index;
  if (c->layout.kind == ControlKind::ComboBox) c->text = c->items[index].text;
  c->dropped = false;
  Command(id, kComboSelEndOk);
  Command(id, kComboCloseUp);
  if (changed) Command(id, kComboSelChange);
}

void ScriptedDialog::DismissDropDown(int id) {
  Control* c = Reachable(id, "drop-down");
  if (c == nullptr) return;
  if (!c->dropped) Command(id, kComboDropDown);
  c->dropped = false;
  Command(id, kComboSelEndCancel);
  Command(id, kComboCloseUp);
}

void ScriptedDialog::SelectTab(int id, int index) {
  Control* c = Reachable(id, "tab");
  if (c == nullptr) return;
  if (index < 0 || index >= static_cast<int>(c->items.size())) {
    backend_->Problem("select of missing tab " + std::to_string(index));
    return;
  }
  c->current = index;
  NotifyHeader header{this, static_cast<uintptr_t>(id), kTabSelChange};
  Send(kMsgNotify, static_cast<uintptr_t>(id), reinterpret_cast<intptr_t>(&header));
  Pump();
}

bool ScriptedDialog::TypeOnKeyboard(const std::u16string& characters) {
  if (!Acting("typing on the keyboard")) return false;
  bool noted = true;
  for (const char16_t c : characters) {
    noted = Send(kMsgTypedKey, c, 0) != 0 && noted;
    Pump();
  }
  return noted;
}

void ScriptedDialog::PressEnter() {
  // Enter does not reach a disabled OK button.
  const Control* ok = Find(kCmdOk);
  if (Acting("Enter") && (ok == nullptr || ok->enabled)) Command(kCmdOk, kButtonClicked);
}

void ScriptedDialog::PressEscape() {
  if (Acting("Esc")) Command(kCmdCancel, kButtonClicked);
}

void ScriptedDialog::CloseWindow() {
  if (!layout_.system_menu) {
    backend_->Problem("close button on dialog " + std::to_string(layout_.id) + " without one");
    return;
  }
  if (Acting("close")) Command(kCmdCancel, kButtonClicked);
}

void ScriptedDialog::SystemCommand() {
  ReportSystemCommand();
  // The refresh may have been posted to any open dialog.
  for (ScriptedDialog* open : backend_->open_) open->Pump();
}

int ScriptedDialog::TextCodePage(int id) const {
  const Control* c = Find(id);
  return c ? c->code_page : kUtf8Text;
}

bool ScriptedDialog::IsEmphasized(int id) const {
  const Control* c = Find(id);
  return c && c->emphasized;
}

bool ScriptedDialog::IsEnabled(int id) const {
  const Control* c = Find(id);
  return c && c->enabled;
}

std::vector<std::string> ScriptedDialog::Items(int id) const {
  std::vector<std::string> texts;
  if (const Control* c = Find(id)) {
    for (const Item& item : c->items) texts.push_back(item.text);
  }
  return texts;
}

bool ScriptedDialog::IsDroppedDown(int id) const {
  const Control* c = Find(id);
  return c && c->dropped;
}

std::vector<std::string> ScriptedDialog::Tabs(int id) const { return Items(id); }

void ScriptedDialog::EndDialog(intptr_t result) {
  if (ended_) return;
  ended_ = true;
  result_ = result;
}

void ScriptedDialog::PostMessage(unsigned message, uintptr_t wparam, intptr_t lparam) {
  posted_.push_back({message, wparam, lparam});
}

// The scripted screen has no panels: all of it is available.
PixelRect ScriptedDialog::AvailableScreenArea() const { return {0, 0, kScreenWidth, kScreenHeight}; }

void ScriptedDialog::MoveTo(int screen_left, int screen_top) {
  const int width = screen_.width(), height = screen_.height();
  screen_ = {screen_left, screen_top, screen_left + width, screen_top + height};
}

void ScriptedDialog::SetItemText(int id, const std::string& text, int code_page) {
  if (Control* c = Find(id)) {
    c->text = text;
    c->code_page = code_page;
  }
}

std::string ScriptedDialog::ItemText(int id) const {
  const Control* c = Find(id);
  return c ? c->text : "";
}

void ScriptedDialog::ShowItem(int id, bool show) {
  if (Control* c = Find(id)) {
    c->visible = show;
    if (!show) c->dropped = false;
  }
}

bool ScriptedDialog::IsItemVisible(int id) const {
  const Control* c = Find(id);
  return c && c->visible;
}

void ScriptedDialog::EnableItem(int id, bool enable) {
  if (Control* c = Find(id)) c->enabled = enable;
}

void ScriptedDialog::EmphasizeItem(int id) {
  if (Control* c = Find(id)) c->emphasized = true;
}

PixelRect ScriptedDialog::ItemRect(int id) const {
  const Control* c = Find(id);
  return c ? c->rect : PixelRect{};
}

PixelRect ScriptedDialog::ItemScreenRect(int id) const {
  PixelRect r = ItemRect(id);
  r.left += screen_.left;
  r.right += screen_.left;
  r.top += screen_.top;
  r.bottom += screen_.top;
  return r;
}

void ScriptedDialog::MoveItem(int id, const PixelRect& rect) {
  if (Control* c = Find(id)) c->rect = rect;
}

void ScriptedDialog::SetFocus(int id) {
  if (Find(id) != nullptr) focus_ = id;
}

void ScriptedDialog::SetCheck(int id, bool checked) {
  if (Control* c = Find(id)) c->checked = checked;
}

bool ScriptedDialog::IsChecked(int id) const {
  const Control* c = Find(id);
  return c && c->checked;
}

void ScriptedDialog::ResetContent(int id) {
  if (Control* c = Find(id)) {
    c->items.clear();
    c->current = -1;
    if (c->layout.kind == ControlKind::ComboBox) c->text.clear();
  }
}

int ScriptedDialog::AddItem(int id, const std::string& text, intptr_t data, int code_page) {
  Control* c = Find(id);
  if (c == nullptr || !IsList(c->layout.kind)) return -1;
  auto at = c->items.end();
  if (c->layout.style & kStyleSorted) {
    at = std::upper_bound(c->items.begin(), c->items.end(), text,
                          [](const std::string& t, const Item& item) { return LessNoCase(t, item.text); });
  }
  const int index = static_cast<int>(at - c->items.begin());
  c->items.insert(at, Item{text, data, code_page});
  if (c->current >= index) ++c->current;
  return index;
}

int ScriptedDialog::ItemCount(int id) const {
  const Control* c = Find(id);
  return c ? static_cast<int>(c->items.size()) : 0;
}

std::string ScriptedDialog::ItemTextAt(int id, int index) const {
  const Control* c = Find(id);
  if (c == nullptr || index < 0 || index >= static_cast<int>(c->items.size())) return "";
  return c->items[index].text;
}

intptr_t ScriptedDialog::ItemData(int id, int index) const {
  const Control* c = Find(id);
  if (c == nullptr || index < 0 || index >= static_cast<int>(c->items.size())) return -1;
  return c->items[index].data;
}

int ScriptedDialog::FindItemPrefix(int id, const std::string& prefix) const {
  const Control* c = Find(id);
  if (c == nullptr) return -1;
  for (size_t i = 0; i < c->items.size(); ++i) {
    if (StartsWithNoCase(c->items[i].text, prefix)) return static_cast<int>(i);
  }
  return -1;
}

void ScriptedDialog::SetCurrentItem(int id, int index) {
  Control* c = Find(id);
  if (c == nullptr) return;
  c->current = index >= 0 && index < static_cast<int>(c->items.size()) ? index : -1;
  if (c->layout.kind == ControlKind::ComboBox) c->text = c->current >= 0 ? c->items[index].text : "";
}

int ScriptedDialog::CurrentItem(int id) const {
  const Control* c = Find(id);
  return c ? c->current : -1;
}

void ScriptedDialog::ShowDropDown(int id, bool show) {
  if (Control* c = Find(id)) c->dropped = show && c->visible;
}

int ScriptedDialog::InsertTab(int id, int index, const std::string& text) {
  Control* c = Find(id);
  if (c == nullptr || c->layout.kind != ControlKind::TabControl) return -1;
  index = std::clamp(index, 0, static_cast<int>(c->items.size()));
  c->items.insert(c->items.begin() + index, Item{text, 0, kUtf8Text});
  if (c->current < 0) c->current = 0;
  else if (c->current >= index && c->items.size() > 1) ++c->current;
  return index;
}

int ScriptedDialog::TabCount(int id) const { return ItemCount(id); }

void ScriptedDialog::SetCurrentTab(int id, int index) {
  Control* c = Find(id);
  if (c != nullptr && index >= 0 && index < static_cast<int>(c->items.size())) c->current = index;
}

int ScriptedDialog::CurrentTab(int id) const { return CurrentItem(id); }

// ---- ScriptedBackend -------------------------------------------------------

ScriptedBackend::ScriptedBackend()
    : today_text(TodayDottedDate()),
      previous_dialogs_(ActiveDialogBackend()),
      previous_boxes_(GetMessageBoxBackend()) {
  SetDialogBackend(this);
  SetMessageBoxBackend(this);
  InstallResourceStrings();
}

ScriptedBackend::~ScriptedBackend() {
  SetDialogBackend(previous_dialogs_);
  SetMessageBoxBackend(previous_boxes_);
}

void ScriptedBackend::ExpectDialog(int template_id, Script script) {
  scripts_.push_back({template_id, std::move(script)});
}

void ScriptedBackend::ExpectFileDialog(std::optional<std::string> path) {
  file_answers_.push_back([path](const OpenFileRequest&) { return path; });
}

void ScriptedBackend::ExpectFileDialog(FileAnswer answer) { file_answers_.push_back(std::move(answer)); }

ScriptedDialog* ScriptedBackend::CurrentDialog() const { return open_.empty() ? nullptr : open_.back(); }

intptr_t ScriptedBackend::RunModal(int template_id, DialogWindow* parent, DialogProc proc) {
  DialogLayout layout;
  if (!ResolveDialogTemplate(template_id, ThreadUiLanguage(), &layout)) return kResultFailed;
  shown_.push_back(template_id);
  const auto expected = std::find_if(scripts_.begin(), scripts_.end(),
                                     [&](const Expected& e) { return e.template_id == template_id; });
  if (expected == scripts_.end()) {
    Problem("dialog " + std::to_string(template_id) + " opened without a script for it");
    return kResultFailed;
  }
  Script script = std::move(expected->script);
  scripts_.erase(expected);

  ScriptedDialog dialog(this, std::move(layout), parent, proc);
  open_.push_back(&dialog);
  dialog.Send(kMsgInitDialog, 0, 0);
  dialog.Pump();
  if (!dialog.ended_ && script) script(dialog);
  if (!dialog.ended_) {
    Problem("dialog " + std::to_string(template_id) + " left open by its script");
    dialog.EndDialog(kResultFailed);
  }
  dialog.Send(kMsgDestroy, 0, 0);
  ForgetSystemCommandTarget(&dialog);
  open_.pop_back();
  return dialog.result_;
}

bool ScriptedBackend::ChooseOpenFile(const OpenFileRequest& request, std::string* path) {
  file_requests_.push_back(request);
  if (file_answers_.empty()) {
    Problem("file dialog opened without an answer for it");
    return false;
  }
  FileAnswer answer = std::move(file_answers_.front());
  file_answers_.pop_front();
  const std::optional<std::string> chosen = answer(request);
  if (!chosen) return false;
  *path = *chosen;
  return true;
}

bool ScriptedBackend::ChooseFolder(const std::string& title, std::string* path) {
  folder_requests_.push_back(title);
  if (folder_answers_.empty()) {
    Problem("folder picker opened without an answer for it");
    return false;
  }
  const std::optional<std::string> chosen = std::move(folder_answers_.front());
  folder_answers_.pop_front();
  if (!chosen) return false;
  *path = *chosen;
  return true;
}

int ScriptedBackend::ShowMessageBox(const MessageBoxRequest& request) {
  message_boxes.push_back(request);
  if (message_box_answers.empty()) return kIdOk;
  const int answer = message_box_answers.front();
  message_box_answers.erase(message_box_answers.begin());
  return answer;
}

}  // namespace ui
