#include "ui/backends/preview/dialog_scenes.h"

#include "platform/codepage.h"
#include "settings/config.h"
#include "settings/key_list.h"
#include "ui/dialog_backend.h"
#include "ui/edit_dlg.h"
#include "ui/language.h"
#include "ui/load_string.h"
#include "ui/message_box.h"
#include "ui/reask_list.h"
#include "ui/request_dlg.h"
#include "ui/request_origin.h"
#include "ui/screen_keyboard_dlg.h"
#include "ui/sign_dlg.h"
#include "ui/site_consent_dlg.h"
#include "ui/state_dlg.h"
#include "ui/text_to_sign.h"

namespace ui {
namespace {

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
    // A token name as long as SoftHSM2's, whose serial has 16 digits.
    w->AddItem(492, "Rutoken ECP\\IVANOV (0a1b2c3d4e5f6a7b)", ENGINE_ID_SAMPLE);
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
      w->SetItemText(CSignDlg::kTokenNotice, FormatResString(notice_, "3"));
      w->ShowItem(CSignDlg::kTokenNotice, true);
    }
    // A locked PIN: only Cancel and the file page are left.
    if (notice_ == CSignDlg::kPinLockedString)
      for (int id : {226, 227, 228, 232, 229, 1}) w->EnableItem(id, false);
    if (pin_pad_)
      for (int id : {226, 227, 283}) w->ShowItem(id, false);
    if (!reask_)
      for (int id : {489, 204}) w->ShowItem(id, false);
    // Who asks and what will be signed, as the dialog shows them.
    ShowRequestOrigin(w, CSignDlg::kSiteLabel, CSignDlg::kSite);
    w->ShowItem(CSignDlg::kTextLabel, HasTextToSign());
    w->ShowItem(CSignDlg::kTextView, HasTextToSign());
    w->SetItemText(CSignDlg::kTextView, TextToSignForDisplay());
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

// The keyboard after a key was pressed on the real keyboard.
class TypedOnKeyboard : public CDlgScreenKeyboard {
 public:
  intptr_t OnInitDialog() override {
    CDlgScreenKeyboard::OnInitDialog();
    OnTypedKey(u'a');
    return 1;
  }
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

constexpr const char* kSampleSite = "https://bank.example";
constexpr const char* kSampleText = "PAYMENT ORDER 7781\r\nPay 1,000.00 RUB to account 40702810900000001234\r\n";

// A host of 253 characters, the longest a name can be, ending in the part
// that names the site.
std::string LongHostOrigin() {
  const std::string tail = ".evil.example";
  std::string host = "bank.example";
  size_t label = 60;  // labels of 60 letters after "bank.example"
  while (host.size() + tail.size() < 253) {
    if (label == 60 && host.size() + tail.size() + 2 < 253) {
      host += '.';
      label = 0;
    } else {
      host += 'a';
      ++label;
    }
  }
  return "https://" + host + tail + ":8443";
}

std::string TwoHundredLines() {
  std::string text;
  for (int line = 1; line <= 200; ++line) text += "Line " + std::to_string(line) + " of the payment list\n";
  return text;
}

// Control, invisible and reordering characters, each of which must show.
std::string HiddenCharacters() {
  return "Pay to: \xE2\x80\xAE" "9876 tnuocca\xE2\x80\xAC\n"     // RLO ... PDF
         "Amount:\t100\x1B[8m000\x1B[0m RUB\r\n"                  // tab, ESC
         "Note:\xE2\x80\x8B hidden\xE2\x81\xA6 isolate\xE2\x81\xA9 \xEF\xBB\xBF end\r"  // ZWSP, LRI, PDI, BOM, lone CR
         "Literal [U+202E] text";
}

// The authorization dialog's template filled as on the file page, showing `text`.
void ShowTextScene(const std::function<void(const std::string& name)>& snap_next, const char* name,
                   const std::string& origin, const std::string& text) {
  SetRequestOrigin(origin);
  SetTextToSign(text);
  CDialogImp<AuthorizationPreview> auth(false, 0, false, false);
  snap_next(name);
  auth.DoModal(201, nullptr);
}

}  // namespace

void ShowEveryDialog(const std::function<void(const std::string& name)>& snap_next) {
  // A page's request: the site and the text show above the pages.
  SetRequestOrigin(kSampleSite);
  SetTextToSign(kSampleText);
  for (bool token : {false, true}) {
    CDialogImp<AuthorizationPreview> auth(token);
    snap_next(token ? "201-token-page" : "201-file-page");
    auth.DoModal(201, nullptr);
  }
  // The token page's states: PIN tries, locked PIN, PIN pad, absent token,
  // and velixhost's page without "Ask again".
  const struct {
    const char* name;
    int notice;
    bool pin_pad, reask, absent;
  } token_states[] = {
      {"201-token-pin-tries-left", 191, false, true, false},  // "PIN tries left: %s"
      {"201-token-pin-count-low", 171, false, true, false},  // "Few PIN tries left"
      {"201-token-pin-final-try", 170, false, true, false},  // "Last PIN try: ..."
      {"201-token-pin-locked", CSignDlg::kPinLockedString, false, true, false},
      {"201-token-pin-pad", 172, true, true, false},  // "Enter the PIN on the reader"
      {"201-token-absent", 173, false, true, true},   // "Insert the token or choose a key file"
      {"201-token-page-velixhost", 0, false, false, false},
  };
  for (const auto& state : token_states) {
    CDialogImp<AuthorizationPreview> auth(true, state.notice, state.pin_pad, state.reask, state.absent);
    snap_next(state.name);
    auth.DoModal(201, nullptr);
  }
  // What will be signed, as long or as tricky as a page may make it.
  ShowTextScene(snap_next, "201-text-200-lines", kSampleSite, TwoHundredLines());
  ShowTextScene(snap_next, "201-text-hidden-characters", kSampleSite, HiddenCharacters());
  ShowTextScene(snap_next, "201-text-markup", kSampleSite, "<html><body><h1>Looks like a page</h1></body></html>");
  ShowTextScene(snap_next, "201-site-253-character-host", LongHostOrigin(), kSampleText);
  ShowTextScene(snap_next, "201-punycode-site", "https://xn--80aswg.xn--p1ai", kSampleText);
  // velixcom: a script asks, so there is no site; and a file to sign.
  ShowTextScene(snap_next, "201-without-site", "", kSampleText);
  SetFileToSign("C:\\Users\\ivanov\\Documents\\payment-7781.xml", 48213);
  {
    CDialogImp<AuthorizationPreview> auth(false, 0, false, true);
    snap_next("201-file-to-sign");
    auth.DoModal(201, nullptr);
  }
  SetRequestOrigin(kSampleSite);
  SetTextToSign(kSampleText);
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
  snap_next("201-without-tokens");
  sign.DoModal(201, nullptr);
  // The same while the token chosen last time is not inserted.
  config.KeyType = 1;
  config.tokenName = "Rutoken ECP\\IVANOV (0a1b2c3d)";
  config.Save();
  CSignDlgImp absent;
  snap_next("201-without-tokens-token-absent");
  absent.DoModal(201, nullptr);
  config.KeyType = 0;
  config.tokenName.clear();
  config.Save();

  // A site velix does not know asks first; a long host shows its end.
  for (const auto& [name, origin] : {std::pair<const char*, std::string>{"206-site-consent", kSampleSite},
                                     {"206-site-consent-253-character-host", LongHostOrigin()}}) {
    CSiteConsentDlgImp consent(origin);
    snap_next(name);
    consent.DoModal(CSiteConsentDlg::kTemplateId, nullptr);
  }

  CDlgScreenKeyboardImpl keyboard;
  snap_next("202-keyboard");
  keyboard.DoModal(202, nullptr);
  CDialogImp<TypedOnKeyboard> typed_on;
  snap_next("202-keyboard-typed-on");
  typed_on.DoModal(202, nullptr);
  CDialogImp<RussianKeyboard> russian_keyboard;
  snap_next("202-keyboard-russian-layout");
  russian_keyboard.DoModal(202, nullptr);

  KeyList keys;
  keys.Append("IVANOV", "/home/user/keys/secret.key");
  // Key names are kept in the ANSI code page.
  keys.Append(platform::utf8_to_ansi_exact(LoadResString(153)).value_or("old"), "/home/user/keys/old/secret.key");
  keys.Append("Token", "12345678");
  SetRequestOrigin("");
  CEditDlgImp edit;
  edit.SetKeyList(&keys);
  snap_next("203-key-management");
  edit.DoModal(203, nullptr);
  // Opened by a page: the site shows below the list, its end in sight.
  SetRequestOrigin(LongHostOrigin());
  CEditDlgImp edit_for_page;
  edit_for_page.SetKeyList(&keys);
  snap_next("203-key-management-site");
  edit_for_page.DoModal(203, nullptr);
  SetRequestOrigin("");
  ClearTextToSign();

  char name[1024] = "IVANOV";
  snap_next("204-text-input");
  AskText(LoadResString(109), name, sizeof name);

  CStateDlgImp dates;
  snap_next("205-statement-dates");
  dates.DoModal(205, nullptr);

  snap_next("message-box-error");
  ShowMessageBoxFromStrings(129, 101, kMbOk | kMbIconError);
  snap_next("message-box-warning");
  ShowMessageBoxFromStrings(102, 101, kMbOk | kMbIconWarning);
  snap_next("message-box-choose-token-key");
  ShowMessageBoxFromStrings(192, 101, kMbOk | kMbIconWarning);

  // The system's own choosers, as key management and key creation open them.
  char path[260] = "secret.key";
  snap_next("file-open");
  ChooseKeyFile(path, sizeof path);
  std::string folder;
  snap_next("folder-browser");
  if (DialogBackend* backend = ActiveDialogBackend()) backend->ChooseFolder(LoadResString(153), &folder);
}

}  // namespace ui
