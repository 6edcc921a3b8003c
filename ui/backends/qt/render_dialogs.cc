// Renders every dialog of the product in one language to PNG files, with the
// Qt backend, so that anyone can look at them without running the programs.
//
//   velix-render-dialogs OUT_DIR en|ru
//
// Each picture shows the dialog with a plain title bar drawn above it (the
// offscreen platform has no window frames), so that the caption is seen too.
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <string>

#include "platform/codepage.h"
#include "settings/config.h"
#include "settings/key_list.h"
#include "ui/backends/qt/qt_backend.h"
#include "ui/backends/qt/qt_dialog_window.h"
#include "ui/edit_dlg.h"
#include "ui/language.h"
#include "ui/load_string.h"
#include "ui/message_box.h"
#include "ui/reask_list.h"
#include "ui/request_dlg.h"
#include "ui/resources/strings.h"
#include "ui/screen_keyboard_dlg.h"
#include "ui/sign_dlg.h"
#include "ui/state_dlg.h"

namespace {

using namespace ui;

QString g_out_dir;

// The picture of a window: a title bar with its caption above its contents.
QPixmap WithTitleBar(QWidget* window) {
  const QPixmap body = window->grab();
  QFont title_font = window->font();
  title_font.setBold(true);
  const int bar = QFontMetrics(title_font).height() + 8;
  QPixmap picture(body.width() + 2, body.height() + bar + 1);
  picture.fill(QColor(0, 0, 128));
  QPainter painter(&picture);
  painter.setFont(title_font);
  painter.setPen(Qt::white);
  painter.drawText(QRect(6, 0, picture.width() * 2, bar), Qt::AlignVCenter | Qt::AlignLeft,
                   window->windowTitle());
  painter.drawPixmap(1, bar, body);
  return picture;
}

// Saves the next modal window under `name` once it is laid out, then closes it.
void SnapNextModal(const QString& name) {
  QTimer::singleShot(300, [name] {
    QWidget* window = QApplication::activeModalWidget();
    if (window == nullptr) {
      std::fprintf(stderr, "no window for %s\n", qPrintable(name));
      return;
    }
    const QString path = QDir(g_out_dir).filePath(name + ".png");
    if (!WithTitleBar(window).save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    if (auto* dialog = dynamic_cast<qt::QtDialogWindow*>(window)) dialog->EndDialog(kResultCancel);
    else if (auto* box = qobject_cast<QMessageBox*>(window)) box->done(QMessageBox::Ok);
  });
}

// The authorization dialog's template with one of its two pages filled with
// sample content (the template alone: this program does not sign).
class AuthorizationPreview : public CDialog {
 public:
  explicit AuthorizationPreview(bool token_page, int notice = 0, bool pin_pad = false, bool reask = true,
                                bool token_absent = false)
      : token_page_(token_page), notice_(notice), pin_pad_(pin_pad), reask_(reask), token_absent_(token_absent) {}
  intptr_t OnInitDialog() override {
    DialogWindow* w = Window();
    w->InsertTab(223, 0, LoadResString(105));
    w->InsertTab(223, 1, "Token");
    w->SetCurrentTab(223, token_page_ ? 1 : 0);
    w->AddItem(202, "IVANOV", 0);
    w->SetCurrentItem(202, 0);
    w->AddItem(492, "Rutoken ECP\\IVANOV (0a1b2c3d)", ENGINE_ID_SAMPLE);
    if (!token_absent_) {
      w->SetCurrentItem(492, 0);
      w->AddItem(229, "IVANOV [12345678]", 12345678);
      w->SetCurrentItem(229, 0);
    }
    w->SetItemText(201, "secret");
    FillReaskList(w, 204, 9);
    for (int id : {224, 202, 203, 225, 201, 282}) w->ShowItem(id, !token_page_);
    for (int id : {493, 492, 226, 227, 283, 232, 229, 228}) w->ShowItem(id, token_page_);
    // The token's state, as the dialog shows it before the PIN is typed.
    if (notice_ != 0) {
      w->SetItemText(CSignDlg::kTokenNotice, LoadResString(notice_));
      w->ShowItem(CSignDlg::kTokenNotice, true);
    }
    if (pin_pad_)
      for (int id : {226, 227, 283}) w->ShowItem(id, false);
    if (!reask_)
      for (int id : {489, 204}) w->ShowItem(id, false);
    return 1;
  }

 private:
  static constexpr intptr_t ENGINE_ID_SAMPLE = 2;
  bool token_page_;
  int notice_;
  bool pin_pad_;
  bool reask_;
  bool token_absent_;
};

class RussianKeyboard : public CDlgScreenKeyboard {
 public:
  intptr_t OnInitDialog() override {
    CDlgScreenKeyboard::OnInitDialog();
    Window()->SetCurrentItem(kLayoutList, 1);
    // What choosing "Рус" in the dropped list reports.
    OnCommand(MakeCommandParam(kLayoutList, kComboSelEndOk), 0, kComboSelEndOk);
    OnCommand(MakeCommandParam(kLayoutList, kComboCloseUp), 0, kComboCloseUp);
    return 1;
  }
};

void RenderAll() {
  for (bool token : {false, true}) {
    CDialogImp<AuthorizationPreview> auth(token);
    SnapNextModal(token ? "201-token-page" : "201-file-page");
    auth.DoModal(201, nullptr);
  }
  // The token page's states: PIN tries, locked PIN, PIN pad, absent token,
  // and velixhost's page without "Ask again".
  const struct {
    const char* name;
    int notice;
    bool pin_pad, reask, absent;
  } token_states[] = {
      {"201-token-pin-count-low", 167, false, true, false},
      {"201-token-pin-final-try", 166, false, true, false},
      {"201-token-pin-locked", 165, false, true, false},
      {"201-token-pin-pad", 168, true, true, false},
      {"201-token-absent", 169, false, true, true},
      {"201-token-page-velixhost", 0, false, false, false},
  };
  for (const auto& state : token_states) {
    CDialogImp<AuthorizationPreview> auth(true, state.notice, state.pin_pad, state.reask, state.absent);
    SnapNextModal(state.name);
    auth.DoModal(201, nullptr);
  }
  // The dialog itself where no token is present (none can be: the core is not
  // started here), over a key list of its own.
  Config& config = Config::Instance();
  config.language = ThreadUiLanguage();
  config.keyList.Clear();
  config.keyList.Append("IVANOV", "/home/user/keys/secret.key");
  config.KeyIndex = 0;
  config.VK = 0;  // else the on-screen keyboard opens over it at once
  config.keyList.Save();
  config.Save();
  CSignDlgImp sign;
  SnapNextModal("201-without-tokens");
  sign.DoModal(201, nullptr);
  // The same while the token chosen last time is not inserted.
  config.KeyType = 1;
  config.tokenName = "Rutoken ECP\\IVANOV (0a1b2c3d)";
  config.Save();
  CSignDlgImp absent;
  SnapNextModal("201-without-tokens-token-absent");
  absent.DoModal(201, nullptr);
  config.KeyType = 0;
  config.tokenName.clear();
  config.Save();

  CDlgScreenKeyboardImpl keyboard;
  SnapNextModal("202-keyboard");
  keyboard.DoModal(202, nullptr);
  CDialogImp<RussianKeyboard> russian_keyboard;
  SnapNextModal("202-keyboard-russian-layout");
  russian_keyboard.DoModal(202, nullptr);

  KeyList keys;
  keys.Append("IVANOV", "/home/user/keys/secret.key");
  // Key names are kept in the ANSI code page.
  keys.Append(platform::utf8_to_ansi_exact(LoadResString(153)).value_or("old"), "/home/user/keys/old/secret.key");
  keys.Append("Token", "12345678");
  CEditDlgImp edit;
  edit.SetKeyList(&keys);
  SnapNextModal("203-key-management");
  edit.DoModal(203, nullptr);

  char name[1024] = "IVANOV";
  SnapNextModal("204-text-input");
  AskText(LoadResString(109), name, sizeof name);

  CStateDlgImp dates;
  SnapNextModal("205-statement-dates");
  dates.DoModal(205, nullptr);

  SnapNextModal("message-box-error");
  ShowMessageBoxFromStrings(129, 101, kMbOk | kMbIconError);
  SnapNextModal("message-box-warning");
  ShowMessageBoxFromStrings(102, 101, kMbOk | kMbIconWarning);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::string(argv[2]) != "en" && std::string(argv[2]) != "ru")) {
    std::fprintf(stderr, "usage: %s OUT_DIR en|ru\n", argv[0]);
    return 2;
  }
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The settings the authorization dialog loads and saves live in a registry
  // of this run, never in the user's own.
  QTemporaryDir settings;
  qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
  QApplication app(argc, argv);
  g_out_dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(g_out_dir);
  SetThreadUiLanguage(std::string(argv[2]) == "en" ? kLangEnglish : kLangRussian);
  qt::QtDialogBackend backend;
  QTimer::singleShot(0, [] {
    RenderAll();
    QApplication::quit();
  });
  return app.exec();
}
