// velixhost decides which page reaches the key, whatever called it: tried
// with the real program and no display, where only the policy can answer.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "host_process.h"

namespace {

QJsonObject result_of(const HostRun& run) {
  return QJsonDocument::fromJson(single_frame_body(run.output)).object()["result"].toObject();
}

TEST(SiteGate, RefusesWhatNoPolicyAllowsAndAnswersTheRest) {
  HostHome home;
  QFile policy(home.home() + "/policy.conf");
  ASSERT_TRUE(policy.open(QIODevice::WriteOnly));
  policy.write("AllowedSites=https://bank.example\nOnlyAllowedSites=1\n");
  policy.close();
  struct Case {
    const char* what;
    const char* body;
    const char* result;
  } const cases[] = {
      {"a site the policy does not name", R"({"type":"velixcom","uid":"1","action":"signMessage","args":{"value":"x"},"origin":"https://evil.example"})",
       R"({"reason":"origin-refused","value":""})"},
      {"key management from it", R"({"type":"velixcom","uid":"2","action":"editKeys","origin":"https://evil.example"})",
       R"({"reason":"origin-refused"})"},
      {"a stored setting written by it", R"({"type":"velixcom","uid":"3","action":"useScreenKbd","args":{"value":false},"origin":"https://evil.example"})",
       R"({"reason":"origin-refused"})"},
      {"an opaque origin", R"({"type":"velixcom","uid":"4","action":"signMessage","args":{"value":"x"},"origin":"null"})",
       R"({"reason":"origin-refused","value":""})"},
      {"reading the setting is answered", R"({"type":"velixcom","uid":"5","action":"useScreenKbd","origin":"https://evil.example"})",
       R"({"value":1})"},
      {"version is answered", R"({"type":"velixcom","uid":"6","action":"version","origin":"https://evil.example"})",
       R"({"value":"1.0.0.345"})"},
      // The allowed site reaches the signer, which has no display to ask on.
      {"the allowed site", R"({"type":"velixcom","uid":"7","action":"signMessage","args":{"value":"x"},"origin":"https://bank.example"})",
       R"({"reason":"no-display","value":""})"},
      {"a forged header line", R"({"type":"velixcom","uid":"8","action":"signMessage","args":{"value":"x","useOperator":true,"session":"S1\r\nUSER NAME: Director"},"origin":"https://bank.example"})",
       R"({"reason":"header-text-refused","value":""})"},
  };
  for (const Case& c : cases) {
    const HostRun run = home.run(frame(c.body));
    ASSERT_TRUE(run.finished) << c.what;
    EXPECT_EQ(QJsonDocument(result_of(run)).toJson(QJsonDocument::Compact).toStdString(), c.result) << c.what;
  }
  // The refused signature requests left their trace in the journal.
  QFile journal(home.home() + "/.local/state/velix/journal");
  ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
  const QString lines = QString::fromUtf8(journal.readAll());
  EXPECT_TRUE(lines.contains("site=https://evil.example action=signMessage serial=- sha256=2d711642b726b04401627ca9fbac32f5c8530fb1903cc4db02258717921a4881 outcome=origin-refused"))
      << lines.toStdString();
  EXPECT_TRUE(lines.contains("site=null action=signMessage")) << lines.toStdString();
  EXPECT_TRUE(lines.contains("site=https://bank.example action=signMessage serial=- sha256=2d711642b726b04401627ca9fbac32f5c8530fb1903cc4db02258717921a4881 outcome=no-display"))
      << lines.toStdString();
}

// Started by a browser (Chromium passes the extension's origin, Firefox the
// manifest's path and the add-on's id), a request must name its page.
TEST(SiteGate, ABrowsersRequestWithoutItsPageIsRefused) {
  HostHome home;
  const QByteArray request = frame(R"({"type":"velixcom","uid":"1","action":"signMessage","args":{"value":"x"}})");
  for (const char* arguments : {"chrome-extension://abcdefghijklmnopabcdefghijklmnop/",
                                "/usr/lib/mozilla/native-messaging-hosts/org.velix.host.json velix-extension@velix.org"}) {
    const HostRun run = home.runThroughShell(QStringLiteral("exec '%1' %2").arg(VELIXHOST_PATH, arguments), request);
    ASSERT_TRUE(run.finished) << arguments;
    EXPECT_EQ(result_of(run), (QJsonObject{{"reason", "origin-refused"}, {"value", ""}})) << arguments;
  }
  // Run by hand it is answered as before.
  EXPECT_EQ(result_of(home.run(request)), (QJsonObject{{"reason", "no-display"}, {"value", ""}}));
}

}  // namespace
