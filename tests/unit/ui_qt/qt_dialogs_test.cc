#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QListWidget>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTest>

#include "settings/config.h"
#include "tests/unit/support/temp_config_home.h"
#include "tests/unit/ui/ui_test_util.h"
#include "tests/unit/ui_qt/qt_driver.h"
#include "ui/backends/qt/qt_backend.h"
#include "ui/backends/qt/qt_controls.h"
#include "ui/backends/qt/qt_dialog_window.h"
#include "ui/edit_dlg.h"
#include "ui/load_string.h"
#include "ui/request_dlg.h"
#include "ui/resources/strings.h"
#include "ui/screen_keyboard_dlg.h"
#include "ui/sign_dlg.h"
#include "ui/state_dlg.h"

using namespace ui;
using namespace ui_qt_test;

namespace {

void Click(QWidget* window, int id) { QTest::mouseClick(Child<QPushButton>(window, id), Qt::LeftButton); }

class QtDialogs : public ::testing::Test {
 protected:
  void TearDown() override { FinishTest(); }
  qt::QtDialogBackend backend;
};

}  // namespace

TEST_F(QtDialogs, KeyboardTypesWithShiftAndDigits) {
  auto locale = ui_test::English();
  CDlgScreenKeyboardImpl keyboard;
  WhenShown("dialog-202", [](QWidget* w) {
    EXPECT_EQ(Child<QPushButton>(w, 244)->text(), "a");
    Click(w, 384);  // Shift
    EXPECT_EQ(Child<QPushButton>(w, 244)->text(), "A");
    EXPECT_TRUE(Child<QPushButton>(w, 383)->isChecked());
    Click(w, 244);
    EXPECT_FALSE(Child<QPushButton>(w, 383)->isChecked());
    EXPECT_FALSE(Child<QPushButton>(w, 384)->isChecked());
    Click(w, 245);
    Click(w, 235);
    Click(w, 1);  // Enter
  });
  EXPECT_EQ(keyboard.DoModal(202, nullptr), 1);
  EXPECT_EQ(keyboard.Text(), "Ab1");
}

TEST_F(QtDialogs, KeysTypedOnTheRealKeyboardTypeNothingAndTheHintStandsOut) {
  auto locale = ui_test::English();
  CDlgScreenKeyboardImpl keyboard;
  WhenShown("dialog-202", [](QWidget* w) {
    auto* hint = Child<QLabel>(w, CDlgScreenKeyboard::kHint);
    EXPECT_TRUE(hint->text().startsWith("Click the keys with the mouse")) << hint->text().toStdString();
    EXPECT_FALSE(hint->font().bold());
    const QColor plain = hint->palette().color(QPalette::WindowText);
    Click(w, 244);
    // Typed while a key has the focus (Space would press it), and on the window itself.
    QTest::keyClicks(Child<QPushButton>(w, 244), "pass word");
    QTest::keyClicks(w, "x");
    EXPECT_TRUE(hint->font().bold());
    EXPECT_NE(hint->palette().color(QPalette::WindowText), plain);
    Click(w, 1);
  });
  EXPECT_EQ(keyboard.DoModal(202, nullptr), 1);
  EXPECT_EQ(keyboard.Text(), "a");
}

TEST_F(QtDialogs, KeyboardSwitchesToTheRussianLayoutThroughItsList) {
  auto locale = ui_test::English();  // the key captions do not depend on the code page
  CDlgScreenKeyboardImpl keyboard;
  WhenShown("dialog-202", [](QWidget* w) {
    Click(w, 387);  // "Lng" opens the layout list
    auto* list = Child<QComboBox>(w, 381);
    EXPECT_TRUE(list->isVisible());
    EXPECT_FALSE(Child<QPushButton>(w, 387)->isVisible());
    // Choose "Рус" in the dropped list.
    QTest::keyClick(list->view(), Qt::Key_Down);
    QTest::keyClick(list->view(), Qt::Key_Return);
    QTest::qWait(50);
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(Child<QPushButton>(w, 387)->text(), QString::fromUtf8("Рус"));
    EXPECT_EQ(Child<QPushButton>(w, 249)->text(), QString::fromUtf8("а"));
    Click(w, 249);
    Click(w, 382);  // CAPS
    EXPECT_EQ(Child<QPushButton>(w, 249)->text(), QString::fromUtf8("А"));
    Click(w, 249);
    QTest::keyClick(w, Qt::Key_Escape);
  });
  EXPECT_EQ(keyboard.DoModal(202, nullptr), 2);
  EXPECT_EQ(keyboard.Text(), "\xE0\xC0");
}

TEST_F(QtDialogs, KeyboardEchoesIntoTheTargetFieldAndOpensClearOfTheDialog) {
  auto locale = ui_test::English();
  char buffer[64] = "";
  std::string kept;
  // The text input dialog's field stands in for a password field.
  WhenShown("dialog-204", [&](QWidget* owner) {
    auto* owner_window = static_cast<qt::QtDialogWindow*>(owner);
    CDlgScreenKeyboardImpl keyboard;
    keyboard.SetTarget({owner_window, 210});
    WhenShown("dialog-202", [&](QWidget* w) {
      const QLineEdit* field = Child<QLineEdit>(owner, 210);
      // Beside or below the dialog, never over it, and on the screen.
      EXPECT_FALSE(w->frameGeometry().intersects(owner->frameGeometry()));
      EXPECT_TRUE(w->screen()->availableGeometry().contains(w->frameGeometry()));
      Click(w, 244);
      Click(w, 245);
      Click(w, 246);
      Click(w, 385);  // Backspace
      EXPECT_EQ(field->text(), "**");
      Click(w, 1);
    });
    EXPECT_EQ(keyboard.DoModal(202, owner_window), 1);
    kept = keyboard.Text();
    QTest::keyClick(owner, Qt::Key_Escape);
  });
  EXPECT_FALSE(AskText("t", buffer, sizeof buffer));
  EXPECT_EQ(kept, "ab");
}

TEST_F(QtDialogs, StatementDatesShowTodayInTheShortFormat) {
  auto locale = ui_test::English();
  CStateDlgImp dates;
  WhenShown("dialog-205", [](QWidget* w) {
    auto* start = Child<QDateEdit>(w, 211);
    EXPECT_TRUE(start->calendarPopup());
    auto* end = Child<QDateEdit>(w, 213);
    end->setDate(QDate(2026, 1, 31));
    QTest::keyClick(w, Qt::Key_Return);
  });
  EXPECT_EQ(dates.DoModal(205, nullptr), 1);
  const QString format = qt::ShortDateFormat();
  EXPECT_TRUE(format.contains("yyyy")) << format.toStdString();
  EXPECT_EQ(dates.FromDate(), QDate::currentDate().toString(format).toStdString());
  EXPECT_EQ(dates.ToDate(), QDate(2026, 1, 31).toString(format).toStdString());

  CStateDlgImp cancelled;
  WhenShown("dialog-205", [](QWidget* w) { Click(w, 2); });
  EXPECT_EQ(cancelled.DoModal(205, nullptr), 2);
  EXPECT_EQ(cancelled.FromDate(), "");
}

TEST_F(QtDialogs, TextInputTakesCyrillicInUtf8UnderAWesternLocale) {
  ui_test::ScopedLocale locale("de_DE.UTF-8", 1049);
  char buffer[32] = "";
  WhenShown("dialog-204", [](QWidget* w) {
    EXPECT_EQ(w->windowTitle(), QString::fromUtf8("Укажите имя ключа"));
    auto* edit = Child<QLineEdit>(w, 210);
    edit->setFocus();
    TypeText(edit, QString::fromUtf8("Иван"));
    Click(w, 1);
  });
  EXPECT_TRUE(AskText(LoadResString(109), buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "Иван");
}

TEST_F(QtDialogs, CloseButtonAndEscapeCancel) {
  auto locale = ui_test::English();
  char buffer[8] = "x";
  WhenShown("dialog-204", [](QWidget* w) { w->close(); });
  EXPECT_FALSE(AskText("t", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "");
}

TEST_F(QtDialogs, MessageBoxesShowTheTextsInTheUserLanguage) {
  auto locale = ui_test::Russian();
  QString text, title;
  WhenShown("message-box", [&](QWidget* w) {
    auto* box = static_cast<QMessageBox*>(w);
    text = box->text();
    title = box->windowTitle();
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    box->button(QMessageBox::No)->click();
  });
  EXPECT_EQ(ShowMessageBoxFromStrings(103, 101, kMbYesNo | kMbIconWarning), kIdNo);
  EXPECT_EQ(text, QString::fromUtf8("Кодовая фраза не верна"));
  EXPECT_EQ(title, QString::fromUtf8("Ошибка"));
}

TEST(QtNameFilters, DoNotRepeatAPatternTheDescriptionShows) {
  const QStringList filters = qt::QtNameFilters({{"Private key (secret.key)", "secret.key"}, {"Keys", "*.key"}});
  EXPECT_EQ(filters, (QStringList{"Private key (secret.key)", "Keys (*.key)"}));
}

TEST_F(QtDialogs, KeyManagementAddsAKeyFileAndSelectsItByDoubleClick) {
  TempConfigHome home;
  Config& config = Config::Instance();
  config.KeyIndex = 0;
  config.ReaskIndex = 9;
  auto locale = ui_test::English();
  ui_test::TempDir dir;
  const std::string path = dir.Write("secret.key", ui_test::KeyFileText("IVANOV"));
  KeyList keys;
  CEditDlgImp dialog;
  dialog.SetKeyList(&keys);
  WhenShown("dialog-203", [&](QWidget* w) {
    WhenShown("file-dialog", [&](QWidget* f) {
      // The name is asked once the file is chosen: its wait starts now.
      WhenShown("dialog-204", [](QWidget* t) {
        EXPECT_EQ(t->windowTitle(), "Enter key name");
        EXPECT_EQ(Child<QLineEdit>(t, 210)->text(), "IVANOV");
        QTest::keyClick(t, Qt::Key_Return);
      });
      auto* files = static_cast<QFileDialog*>(f);
      EXPECT_EQ(files->windowTitle(), "Choose key file");
      EXPECT_EQ(files->nameFilters().first(), "Private key (secret.key)");
      files->selectFile(QString::fromStdString(path));
      QMetaObject::invokeMethod(files, "accept");
    });
    Click(w, 206);  // Add: runs the two dialogs above in nested event loops
    auto* list = Child<QListWidget>(w, 205);
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "IVANOV");
    const QPoint line = list->visualItemRect(list->item(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, line);
    EXPECT_EQ(w->windowTitle(), "Keys management - IVANOV");
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, line);
  });
  EXPECT_EQ(dialog.DoModal(203, nullptr), 6);
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys.At(0)->path, path);
  EXPECT_EQ(dialog.SelectedEntry(), keys.At(0));
}

namespace {

class RefreshCounter : public CDialog {
 public:
  bool OnRefresh() override {
    ++refreshes;
    return true;
  }
  int refreshes = 0;
};

}  // namespace

TEST_F(QtDialogs, MovingTheWindowOrChangingTheKeyboardLayoutRefreshesTheDialog) {
  auto locale = ui_test::English();
  CDialogImp<RefreshCounter> dialog;
  WhenShown("dialog-204", [&](QWidget* w) {
    QTest::qWait(20);
    const int before = dialog.refreshes;
    w->move(w->pos() + QPoint(15, 10));
    QTest::qWait(20);
    EXPECT_GT(dialog.refreshes, before);
    const int after_move = dialog.refreshes;
    QEvent layout_change(QEvent::KeyboardLayoutChange);
    QApplication::sendEvent(w, &layout_change);
    QTest::qWait(20);
    EXPECT_GT(dialog.refreshes, after_move);
    QTest::keyClick(w, Qt::Key_Escape);
  });
  EXPECT_EQ(dialog.DoModal(204, nullptr), 2);
}

namespace {

// Template 201 with its two tabs, recording the page each tab switch reports.
class TabRecorder : public CDialog {
 public:
  intptr_t OnInitDialog() override {
    Window()->InsertTab(223, 0, "Local file");
    Window()->InsertTab(223, 1, "Token");
    return 1;
  }
  intptr_t OnNotify(DialogWindow* from, uintptr_t id, int code) override {
    if (id == 223 && code == kTabSelChange) pages.push_back(from->CurrentTab(223));
    return 1;
  }
  std::vector<int> pages;
};

}  // namespace

TEST_F(QtDialogs, QtsOwnTextsFollowTheUiLanguage) {
  // The file chooser's buttons and a message box's standard button come from Qt.
  const auto buttons = [](QWidget* w) {
    QStringList texts;
    for (const QPushButton* b : w->findChildren<QPushButton*>()) texts << b->text().remove('&');
    return texts;
  };
  for (const uint16_t language : {kLangRussian, kLangEnglish}) {
    SCOPED_TRACE(language);
    auto locale = language == kLangRussian ? ui_test::Russian() : ui_test::English();
    const QString cancel = language == kLangRussian ? QString::fromUtf8("Отмена") : QStringLiteral("Cancel");
    WhenShown("file-dialog", [&](QWidget* f) {
      EXPECT_TRUE(buttons(f).contains(cancel)) << buttons(f).join(", ").toStdString();
      QMetaObject::invokeMethod(f, "reject");
    });
    OpenFileRequest request;
    request.title = "t";
    std::string path;
    EXPECT_FALSE(backend.ChooseOpenFile(request, &path));
    WhenShown("message-box", [&](QWidget* box) {
      EXPECT_TRUE(buttons(box).contains(cancel)) << buttons(box).join(", ").toStdString();
      QTest::keyClick(box, Qt::Key_Escape);
    });
    backend.ShowMessageBox({"text", "caption", kMbOkCancel});
  }
}

TEST_F(QtDialogs, AuthorizationTabsReportThePageChosen) {
  auto locale = ui_test::English();
  CDialogImp<TabRecorder> dialog;
  WhenShown("dialog-201", [&](QWidget* w) {
    auto* tabs = Child<QTabBar>(w, 223);
    EXPECT_EQ(tabs->count(), 2);
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
    QTest::keyClick(w, Qt::Key_Escape);
  });
  EXPECT_EQ(dialog.DoModal(201, nullptr), 2);
  EXPECT_EQ(dialog.pages, (std::vector<int>{1, 0}));
}

namespace {

// The token list with a name longer than the field.
class LongTokenName : public CDialog {
 public:
  intptr_t OnInitDialog() override {
    Window()->AddItem(492, "SoftHSM v2\\UX Token (b189e1a4c3d2f0a1)", 2);
    Window()->SetCurrentItem(492, 0);
    return 1;
  }
};

}  // namespace

TEST_F(QtDialogs, ALongTokenNameIsShownFromItsStart) {
  auto locale = ui_test::English();
  CDialogImp<LongTokenName> dialog;
  WhenShown("dialog-201", [&](QWidget* w) {
    auto* tokens = Child<QComboBox>(w, 492);
    ASSERT_TRUE(tokens->isEditable());
    EXPECT_GT(tokens->fontMetrics().horizontalAdvance(tokens->currentText()), tokens->lineEdit()->width());
    EXPECT_EQ(tokens->lineEdit()->cursorPosition(), 0);
    QTest::keyClick(w, Qt::Key_Escape);
  });
  EXPECT_EQ(dialog.DoModal(201, nullptr), 2);
}

TEST_F(QtDialogs, AuthorizationWithoutTokensMasksThePassphrase) {
  TempConfigHome home;
  auto locale = ui_test::English();
  ui_test::TempDir dir;
  Config& config = Config::Instance();
  config.language = 1033;
  config.VK = 0;
  config.KeyIndex = 0;
  config.keyList.Clear();
  const std::string path = dir.Write("secret.key", ui_test::KeyFileText("IVANOV"));
  config.keyList.Append("Ivanov", path);
  config.keyList.Save();
  config.Save();
  CSignDlgImp dialog;
  WhenShown("dialog-201", [&](QWidget* w) {
    QTest::qWait(20);  // the page is built by a message the dialog posts to itself
    EXPECT_EQ(w->windowTitle(), "User authorization 1.0.0.345");
    EXPECT_FALSE(Child<QTabBar>(w, 223)->isVisible());
    EXPECT_EQ(Child<QLabel>(w, 224)->text(), "Secret key: Ivanov");
    EXPECT_EQ(Child<QPushButton>(w, 203)->text(), "Key management");
    // The layout's language as the backend tells it ("" where the platform does not).
    EXPECT_EQ(Child<QLabel>(w, 282)->text(), QString::fromStdString(backend.KeyboardLayoutLanguage()).toUpper());
    // A label without text is not shown, so assistive technology announces none.
    EXPECT_EQ(Child<QLabel>(w, 282)->isVisible(), !backend.KeyboardLayoutLanguage().empty());
    EXPECT_FALSE(Child<QLabel>(w, 283)->isVisible());
    auto* passphrase = Child<QLineEdit>(w, 201);
    EXPECT_EQ(passphrase->echoMode(), QLineEdit::Password);
    passphrase->setFocus();
    QTest::keyClicks(passphrase, "open sesame");
    QTest::keyClick(passphrase, Qt::Key_Return);
  });
  EXPECT_EQ(dialog.DoModal(201, nullptr), 1);
  EXPECT_EQ(dialog.Passphrase(), "open sesame");
  EXPECT_EQ(dialog.KeyPath(), path);
  EXPECT_EQ(dialog.UserId(), "IVANOV");
}

namespace {

bool g_hung = false;

// A slow window (a file dialog under load, say) holds the screen past the
// deadline of the dialog the test waits for, which shows only after it. A
// last-resort timer records a hang instead of waiting for ctest's timeout.
void DriveADialogThatShowsTooLate() {
  g_hung = false;
  QTimer last_resort;
  last_resort.setSingleShot(true);
  QObject::connect(&last_resort, &QTimer::timeout, [] {
    g_hung = true;
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (auto* open = qobject_cast<QDialog*>(window); open && open->isVisible()) open->done(QDialog::Rejected);
    }
  });
  last_resort.start(20000);
  WhenShown("dialog-204", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
  QDialog slow;
  slow.setObjectName("slow-window");
  slow.exec();  // ends only when something closes it
  CDialogImp<CDialog> dialog;
  dialog.DoModal(204, nullptr);
}

}  // namespace

TEST_F(QtDialogs, ADialogThatDoesNotShowInTimeFailsAtOnceAndClosesWhatFollows) {
  auto locale = ui_test::English();
  QElapsedTimer clock;
  clock.start();
  EXPECT_NONFATAL_FAILURE(DriveADialogThatShowsTooLate(), "window dialog-204 did not show");
  EXPECT_FALSE(g_hung) << "the late dialog was left open";
  EXPECT_LT(clock.elapsed(), 15000);  // the deadline and a little
}
