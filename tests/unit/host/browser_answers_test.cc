// What velixhost tells a page beyond the original answer: the reason beside
// a signMessage result, the origin in its log, and the terminal options.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "core/core.h"
#include "host/sign_reason.h"
#include "host_process.h"
#include "signer/signer.h"

namespace {

struct ReasonCase {
  const char* what;
  SignOutcome outcome;
  const char* reason;
};

SignOutcome failed(int32_t error) {
  SignOutcome outcome;
  outcome.signer_error = error;
  return outcome;
}

SignOutcome with(SignOutcome outcome, bool SignOutcome::*field, bool value) {
  outcome.*field = value;
  return outcome;
}

TEST(SignReason, EachOutcomeHasItsWord) {
  SignOutcome done;
  done.signed_something = true;
  const ReasonCase cases[] = {
      {"signed", done, "ok"},
      {"dialog cancelled", failed(kErrorCancelled), "cancelled"},
      {"no display beats cancel", with(failed(kErrorCancelled), &SignOutcome::has_display, false), "no-display"},
      {"wrong passphrase", failed(1000 - CORE_E_PASSPHRASE), "wrong-passphrase"},
      {"empty passphrase", failed(kErrorBadInput), "wrong-passphrase"},
      {"no key listed", with(failed(kErrorBadInput), &SignOutcome::key_configured, false), "no-key"},
      {"key file missing", failed(1000 - CORE_E_FILE_NOT_FOUND), "key-file-unreadable"},
      {"key file unreadable", failed(1000 - CORE_E_READ_FILE), "key-file-unreadable"},
      {"token not there", with(failed(1000 - CORE_E_NOT_READY), &SignOutcome::token_key, true), "token-absent"},
      {"token PIN locked",
       with(with(failed(1000 - CORE_E_PASSPHRASE), &SignOutcome::token_key, true), &SignOutcome::pin_locked, true),
       "pin-locked"},
      {"engine failure", failed(1000 - CORE_E_SIGN), "sign-failed"},
      {"library in use", failed(kErrorLibraryInUse), "sign-failed"},
  };
  for (const ReasonCase& c : cases) EXPECT_EQ(sign_reason(c.outcome).toStdString(), c.reason) << c.what;
}

TEST(BrowserAnswers, SignMessageWithoutDisplayKeepsItsFieldsAndAddsTheReasonAndLogsTheOrigin) {
  HostHome home;
  const HostRun run = home.run(frame(
      R"({"type":"velixcom","uid":"9","action":"signMessage","args":{"value":"x"},"origin":"https://bank.example"})"));
  ASSERT_TRUE(run.finished);
  const QJsonObject response = QJsonDocument::fromJson(single_frame_body(run.output)).object();
  EXPECT_EQ(response.keys(), (QStringList{"action", "error", "result", "type", "uid"}));
  EXPECT_EQ(response["error"].toInt(-1), 0);
  EXPECT_EQ(response["result"].toObject(), (QJsonObject{{"value", ""}, {"reason", "no-display"}}));
  EXPECT_TRUE(run.logText.contains(R"(Request from "https://bank.example")")) << run.logText.toStdString();
}

TEST(BrowserAnswers, VersionAndHelpAnswerOnTheTerminalWithoutALog) {
  for (const char* option : {"--version", "--help"}) {
    QTemporaryDir home;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    process.setProcessEnvironment(env);
    process.start(VELIXHOST_PATH, {option});
    ASSERT_TRUE(process.waitForFinished(30000)) << option;
    EXPECT_EQ(process.exitCode(), 0) << option;
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    EXPECT_TRUE(out.startsWith(option == QLatin1String("--version") ? "velixhost 1.0.0.345\n" : "usage: velixhost"))
        << out.toStdString();
    EXPECT_FALSE(QDir(home.path() + "/velixhost").exists()) << option << " wrote a log";
  }
}

}  // namespace
