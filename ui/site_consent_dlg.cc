#include "ui/site_consent_dlg.h"

#include "ui/dialog_backend.h"
#include "ui/dialog_messages.h"
#include "ui/load_string.h"

namespace ui {
namespace {

constexpr int kQuestionString = 175;
// What fits the question's line at the dialog's width (the line wraps once).
constexpr size_t kOriginLine = 60;

}  // namespace

std::string OriginForLine(const std::string& origin, size_t max_characters) {
  if (origin.size() <= max_characters) return origin;
  const size_t scheme = origin.find("://");
  const std::string head = scheme == std::string::npos ? "" : origin.substr(0, scheme + 3);
  const std::string ellipsis = "\xE2\x80\xA6";  // "…", one character on the screen
  const size_t tail = max_characters > head.size() + 1 ? max_characters - head.size() - 1 : 1;
  return head + ellipsis + origin.substr(origin.size() - tail);
}

intptr_t CSiteConsentDlg::OnInitDialog() {
  std::string question = LoadResString(kQuestionString);
  const size_t mark = question.find("%s");
  if (mark != std::string::npos) question.replace(mark, 2, OriginForLine(origin_, kOriginLine));
  Window()->SetItemText(kQuestion, question);
  Window()->MakeTopMost();
  Window()->SetFocus(kResultCancel);  // Enter refuses: allowing takes a choice
  return 0;  // the focus is set here
}

intptr_t CSiteConsentDlg::OnCommand(uintptr_t wparam, intptr_t, int) {
  switch (CommandId(wparam)) {
    case kAllowOnce:
      Window()->EndDialog(kResultAllowOnce);
      return 1;
    case kAlwaysAllow:
      Window()->EndDialog(kResultAlwaysAllow);
      return 1;
    default:
      return 0;
  }
}

SiteConsent AskSiteConsent(const std::string& origin) {
  if (ActiveDialogBackend() == nullptr) return SiteConsent::kNotShown;
  CSiteConsentDlgImp dialog(origin);
  switch (dialog.DoModal(CSiteConsentDlg::kTemplateId, nullptr)) {
    case CSiteConsentDlg::kResultAllowOnce:
      return SiteConsent::kAllowedOnce;
    case CSiteConsentDlg::kResultAlwaysAllow:
      return SiteConsent::kAlwaysAllowed;
    case kResultFailed:
      return SiteConsent::kNotShown;
    default:
      return SiteConsent::kRefused;
  }
}

}  // namespace ui
