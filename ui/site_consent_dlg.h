// The question velixhost asks before a site it does not know may reach the
// user's key: "<site> asks to sign texts with your key", answered with Allow
// once, Always allow this site, or Refuse (also Esc, and Enter: refusing is
// where the focus starts).
#pragma once

#include <string>

#include "ui/dialog.h"

namespace ui {

enum class SiteConsent { kRefused, kAllowedOnce, kAlwaysAllowed, kNotShown };

class CSiteConsentDlg : public CDialog {
 public:
  static constexpr int kTemplateId = 206;
  static constexpr int kQuestion = 300;
  static constexpr int kAllowOnce = 301;
  static constexpr int kAlwaysAllow = 302;
  static constexpr intptr_t kResultAllowOnce = 10;
  static constexpr intptr_t kResultAlwaysAllow = 11;

  explicit CSiteConsentDlg(std::string origin) : origin_(std::move(origin)) {}

  intptr_t OnInitDialog() override;
  intptr_t OnCommand(uintptr_t wparam, intptr_t lparam, int code) override;

 private:
  std::string origin_;
};

using CSiteConsentDlgImp = CDialogImp<CSiteConsentDlg>;

// Shows the question for `origin` (in the thread's UI language); kNotShown
// when no dialog can be shown (no display).
SiteConsent AskSiteConsent(const std::string& origin);

// The origin as one dialog line of at most `max_characters`: a longer one
// keeps its scheme and its end, the part that names the site, with "…"
// where its start is left out; never cut at its end.
std::string OriginForLine(const std::string& origin, size_t max_characters);

}  // namespace ui
