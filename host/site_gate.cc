#include "host/site_gate.h"

#include <QDebug>
#include <QJsonValue>

#include <string>
#include <vector>

#include "host/host_request.h"
#include "host/velixcom_handler.h"
#include "platform/site_policy_source.h"
#include "settings/allowed_sites.h"
#include "settings/site_policy.h"
#include "ui/dialog_backend.h"
#include "ui/site_consent_dlg.h"

namespace {

bool g_started_by_browser = false;

SitePolicy administrators_policy() {
  std::string where;
  std::string problem;
  const std::string text = platform::os_read_site_policy(&where, &problem);
  if (!problem.empty()) {
    // An unreadable policy may have named OnlyAllowedSites: serve no site.
    qWarning().noquote() << "Site policy:" << QString::fromStdString(problem) << "- only allowed sites are served";
    SitePolicy closed;
    closed.only_allowed_sites = true;
    return closed;
  }
  std::vector<std::string> problems;
  SitePolicy policy = ParseSitePolicy(text, &problems);
  for (const std::string& line : problems)
    qWarning().noquote() << "Site policy" << QString::fromStdString(where) << QString::fromStdString(line);
  return policy;
}

bool writes_stored_setting(const HostRequest& request) {
  if (request.action != QLatin1String("useScreenKbd")) return false;
  const QJsonValue value = request.args.value(QStringLiteral("value"));
  return !value.isUndefined() && !value.isNull();
}

GateDecision refuse(const char* reason, const QString& why) {
  qInfo().noquote() << "Request refused," << reason << "-" << why;
  return {QLatin1String(reason), nullptr};
}

// The turn for a request's dialogs, when any can be shown.
GateDecision proceed_with_turn(bool dialogs) {
  GateDecision decision;
  if (!dialogs || ui::ActiveDialogBackend() == nullptr) return decision;
  decision.turn = std::make_unique<DialogTurn>(kDialogTurnPatience);
  if (!decision.turn->held()) return refuse("busy", QStringLiteral("another velix dialog is open in this session"));
  return decision;
}

}  // namespace

bool started_by_browser(int argc, char** argv) {
  if (argc >= 2 && QString::fromLocal8Bit(argv[1]).startsWith(QLatin1String("chrome-extension://"))) return true;
  // Firefox: the manifest's path, then the add-on's id.
  return argc >= 3 && QString::fromLocal8Bit(argv[1]).endsWith(QLatin1String(".json")) && argv[2][0] != '-';
}

void set_started_by_browser(bool started) { g_started_by_browser = started; }

GateDecision check_site(const HostRequest& request) {
  if (request.type.compare(QLatin1String("velixcom"), Qt::CaseInsensitive) != 0) return {};
  const bool dialogs = VelixcomHandler::mayOpenDialog(request.action);
  if (!dialogs && !writes_stored_setting(request)) return {};
  const std::string origin = request.origin.toStdString();
  if (origin.empty()) {
    // A script or a test running velixhost by hand names no site.
    if (g_started_by_browser) return refuse("origin-refused", QStringLiteral("a browser's request names no site"));
    return proceed_with_turn(dialogs);
  }
  switch (DecideSite(administrators_policy(), LoadAllowedSites(), origin)) {
    case SiteVerdict::kAllowed:
      return proceed_with_turn(dialogs);
    case SiteVerdict::kRefused:
      return refuse("origin-refused", QStringLiteral("the site is not served: %1").arg(request.origin));
    case SiteVerdict::kAsk:
      break;
  }
  if (!dialogs) return refuse("origin-refused", QStringLiteral("the site is not allowed to change settings"));
  if (ui::ActiveDialogBackend() == nullptr) return refuse("no-display", QStringLiteral("nobody to ask about the site"));
  GateDecision decision = proceed_with_turn(true);
  if (!decision.refusal.isEmpty()) return decision;
  switch (ui::AskSiteConsent(origin)) {
    case ui::SiteConsent::kAllowedOnce:
      qInfo().noquote() << "The user allowed" << request.origin << "once";
      return decision;
    case ui::SiteConsent::kAlwaysAllowed: {
      std::string why;
      if (AllowSite(origin, &why))
        qInfo().noquote() << "The user allowed" << request.origin << "for good";
      else
        qWarning().noquote() << "The user allowed" << request.origin << "for good, but" << QString::fromStdString(why);
      return decision;
    }
    case ui::SiteConsent::kNotShown:
      return refuse("no-display", QStringLiteral("the question could not be shown"));
    case ui::SiteConsent::kRefused:
      break;
  }
  return refuse("origin-refused", QStringLiteral("the user refused %1").arg(request.origin));
}
