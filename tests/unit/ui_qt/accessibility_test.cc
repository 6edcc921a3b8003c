// The Qt dialogs as assistive technology sees them: every edit, list and
// combo box is named by the static text before it in the template, and Enter
// and Esc reach the default and cancel buttons from any field.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QLabel>
#include <QTest>

#include <vector>

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

}  // namespace
