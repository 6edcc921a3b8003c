// The Qt dialogs as assistive technology sees them: every edit, list and
// combo box is named by the static text before it in the template, and Enter
// and Esc reach the default and cancel buttons from any field.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

#include <vector>

#include "ui/backends/qt/qt_controls.h"
#include "ui/backends/qt/qt_dialog_window.h"
#include "ui/dialog_messages.h"
#include "ui/resources/templates.h"

namespace {

std::vector<int> g_commands;

intptr_t RecordCommands(ui::DialogWindow*, unsigned message, uintptr_t wparam, intptr_t) {
  if (message == ui::kMsgCommand) g_commands.push_back(ui::CommandId(wparam));
  return 0;
}

QString AccessibleName(QWidget* widget) {
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
  return face == nullptr ? QString() : face->text(QAccessible::Name);
}

TEST(QtAccessibility, FieldsAreNamedByTheirLabelsInBothLanguages) {
  const struct {
    uint16_t language;
    int id;
    const char* name;
  } cases[] = {
      {1033, 201, "Passphrase:"},  {1033, 202, "Secret key:"},   {1033, 492, "Select token:"},
      {1033, 227, "Token password:"}, {1033, 229, "Select private key:"}, {1033, 204, "Ask again"},
      {1049, 201, "Кодовая фраза:"}, {1049, 492, "Выберите токен:"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    ui::DialogLayout layout;
    ASSERT_TRUE(ui::ResolveDialogTemplate(201, c.language, &layout));
    ui::qt::QtDialogWindow window(layout, nullptr, &RecordCommands);
    QWidget* widget = window.findChild<QWidget*>(QStringLiteral("item-%1").arg(c.id));
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(AccessibleName(widget).toStdString(), c.name);
  }
  // The key management list is named too; a button keeps its own text.
  ui::DialogLayout layout;
  ASSERT_TRUE(ui::ResolveDialogTemplate(203, 1033, &layout));
  ui::qt::QtDialogWindow window(layout, nullptr, &RecordCommands);
  EXPECT_EQ(AccessibleName(window.findChild<QWidget*>("item-205")).toStdString(), "Available keys list:");
  EXPECT_EQ(AccessibleName(window.findChild<QWidget*>("item-206")).toStdString(), "Add");
}

TEST(QtAccessibility, EnterAndEscapeFromAFieldAreOkAndCancel) {
  ui::DialogLayout layout;
  ASSERT_TRUE(ui::ResolveDialogTemplate(201, 1033, &layout));
  ui::qt::QtDialogWindow window(layout, nullptr, &RecordCommands);
  window.show();
  QWidget* field = window.findChild<QWidget*>("item-227");
  ASSERT_NE(field, nullptr);
  field->setFocus();
  g_commands.clear();
  QTest::keyClick(field, Qt::Key_Return);
  QTest::keyClick(field, Qt::Key_Escape);
  EXPECT_EQ(g_commands, (std::vector<int>{ui::kCmdOk, ui::kCmdCancel}));
  window.hide();
}

// The id of the template control that holds `widget`, or 0.
int ItemIdOf(QWidget* widget) {
  for (QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
    const QString name = w->objectName();
    if (name.startsWith("item-")) return name.mid(5).toInt();
  }
  return 0;
}

TEST(QtAccessibility, TheTextToSignIsAPlainReadOnlyViewReadBeforeThePages) {
  ui::DialogLayout layout;
  ASSERT_TRUE(ui::ResolveDialogTemplate(201, 1033, &layout));
  ui::qt::QtDialogWindow window(layout, nullptr, &RecordCommands);
  // The file page of velixhost: the token page's controls are hidden.
  for (int id : {495, 496, 497, 498}) window.ShowItem(id, true);
  for (int id : {493, 492, 226, 227, 283, 232, 229, 228}) window.ShowItem(id, false);
  window.SetItemText(498, "<b>Pay</b> &amp;\nnow");
  window.show();
  auto* view = qobject_cast<QPlainTextEdit*>(window.findChild<QWidget*>("item-498"));
  ASSERT_NE(view, nullptr);  // plain text: markup is shown as its source
  EXPECT_TRUE(view->isReadOnly());
  EXPECT_EQ(view->toPlainText().toStdString(), "<b>Pay</b> &amp;\nnow");
  EXPECT_EQ(window.ItemText(498), "<b>Pay</b> &amp;\nnow");
  EXPECT_EQ(AccessibleName(view).toStdString(), "Text to sign:");
  // Tab goes in reading order: the text, the pages' tabs, the key, key
  // management, the passphrase, "Ask again", OK, Cancel, and round again.
  std::vector<int> order;
  QWidget* at = view;
  for (int step = 0; step < 40 && order.size() < 9; ++step) {
    if (at->isVisible() && at->isEnabled() && (at->focusPolicy() & Qt::TabFocus)) {
      const int id = ItemIdOf(at);
      if (id != 0 && (order.empty() || order.back() != id)) order.push_back(id);
    }
    at = at->nextInFocusChain();
  }
  EXPECT_EQ(order, (std::vector<int>{498, 223, 202, 203, 201, 204, 1, 2, 498}));
  // Labels without text are not shown to assistive technology: the page's
  // blank background, and the token notice until it has something to say.
  for (QLabel* label : window.findChildren<QLabel*>()) {
    if (label->text().trimmed().isEmpty()) {
      EXPECT_FALSE(label->isVisible()) << ItemIdOf(label);
    }
  }
  window.ShowItem(494, true);
  EXPECT_FALSE(window.findChild<QWidget*>("item-494")->isVisible());
  window.SetItemText(494, "The PIN is locked");
  EXPECT_TRUE(window.findChild<QWidget*>("item-494")->isVisible());
  window.hide();
}

TEST(QtAccessibility, ALongSiteShowsItsEnd) {
  const QFontMetrics metrics(ui::qt::DialogFont());
  const QString origin = "https://bank.example." + QString(200, 'a') + ".evil.example:8443";
  const QString shown = ui::qt::ShortenAtStart(origin, metrics, 300);
  EXPECT_TRUE(shown.startsWith(QString("https://") + QChar(0x2026))) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith("a.evil.example:8443")) << shown.toStdString();
  EXPECT_LE(metrics.horizontalAdvance(shown), 300);
  EXPECT_EQ(ui::qt::ShortenAtStart("https://bank.example", metrics, 300), "https://bank.example");
}

}  // namespace
