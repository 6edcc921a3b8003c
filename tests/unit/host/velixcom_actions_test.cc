// The "velixcom" actions through the real program: one request per process,
// settings read back in the same response, the registry shared between runs.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "host_process.h"

namespace {

struct Action {
  const char* name;
  QByteArray body;
  int error;
  QByteArray result;  // compact JSON
  const char* uiLanguage = "en_GB";  // the user's UI language (LANGUAGE)
};

void PrintTo(const Action& action, std::ostream* out) { *out << action.body.toStdString(); }

QJsonObject response_of(const HostRun& run) {
  return QJsonDocument::fromJson(single_frame_body(run.output)).object();
}

QByteArray compact(const QJsonObject& object) { return QJsonDocument(object).toJson(QJsonDocument::Compact); }

class VelixcomAction : public ::testing::TestWithParam<Action> {};

TEST_P(VelixcomAction, AnswersWithItsResult) {
  HostHome home;
  home.setEnv("LANGUAGE", GetParam().uiLanguage);
  const HostRun run = home.run(frame(GetParam().body));
  ASSERT_TRUE(run.finished);
  const QJsonObject response = response_of(run);
  ASSERT_FALSE(response.isEmpty()) << run.output.toStdString();
  EXPECT_EQ(response.value("error").toInt(-7), GetParam().error);
  EXPECT_EQ(compact(response.value("result").toObject()).toStdString(), GetParam().result.toStdString());
}

// Fresh settings in every process: Customer, Operator, Session and useUtf8
// start off; VK is on until the registry says otherwise.
INSTANTIATE_TEST_SUITE_P(
    Actions, VelixcomAction,
    ::testing::Values(
        Action{"ActionNamesHaveLetterCase", R"({"type":"velixcom","action":"SignMessage"})", 1001, "{}"},
        Action{"UnknownAction", R"({"type":"velixcom","action":"frobnicate","args":{"value":1}})", 1001, "{}"},
        Action{"CustomerTrue", R"({"type":"velixcom","action":"useCustomer","args":{"value":true}})", 0,
               R"({"value":1})"},
        Action{"CustomerOneIsNotTrue",
               R"({"type":"velixcom","action":"useCustomer","args":{"value":1}})", 0, R"({"value":0})"},
        Action{"CustomerWithoutValue", R"({"type":"velixcom","action":"useCustomer"})", 0, R"({"value":0})"},
        Action{"OperatorTrue", R"({"type":"velixcom","action":"useOperator","args":{"value":true}})", 0,
               R"({"value":1})"},
        Action{"Utf8TrueReadsMinusOne", R"({"type":"velixcom","action":"useUTF8","args":{"value":true}})", 0,
               R"({"value":-1})"},
        Action{"Utf8StringIsFalse", R"({"type":"velixcom","action":"useUTF8","args":{"value":"true"}})", 0,
               R"({"value":0})"},
        Action{"ScreenKbdFalse", R"({"type":"velixcom","action":"useScreenKbd","args":{"value":false}})", 0,
               R"({"value":0})"},
        Action{"ScreenKbdNullLeavesItOn", R"({"type":"velixcom","action":"useScreenKbd","args":{"value":null}})",
               0, R"({"value":1})"},
        Action{"LanguageEn", R"({"type":"velixcom","action":"language","args":{"value":"en"}})", 0,
               R"({"value":"en"})"},
        Action{"LanguageDe", R"({"type":"velixcom","action":"language","args":{"value":"de"}})", 0,
               R"({"value":"ru"})"},
        Action{"LanguageUpperCaseEn", R"({"type":"velixcom","action":"language","args":{"value":"EN"}})", 0,
               R"({"value":"ru"})"},
        Action{"SessionText", R"({"type":"velixcom","action":"session","args":{"value":"Sitzung 5"}})", 0,
               R"({"value":"Sitzung 5"})"},
        Action{"SessionNumberIsEmptyText", R"({"type":"velixcom","action":"session","args":{"value":5}})", 0,
               R"({"value":""})"},
        Action{"ErrorOfAFreshProcess", R"({"type":"velixcom","action":"error"})", 0, R"({"error":0})"},
        Action{"StateOfAFreshProcess", R"({"type":"velixcom","action":"state"})", 0,
               R"({"language":"ru","session":"","useCustomer":0,"useOperator":0,"useScreenKbd":1,"useUTF8":0,"version":"1.0.0.345"})",
               "ru_RU"},
        Action{"LanguageReadsTheUsersOwnFirst", R"({"type":"velixcom","action":"language"})", 0,
               R"({"value":"en"})"},
        Action{"Reset", R"({"type":"velixcom","action":"reset"})", 0, "{}"}),
    [](const auto& info) { return info.param.name; });

// Without a display no dialog can be shown: the authorization fails as if
// cancelled and the host answers at once with an empty text.
// The value stays as callers know it; the reason beside it is an addition.
TEST(VelixcomSignMessage, WithoutDisplayAnswersEmptyAtOnce) {
  HostHome home;
  const HostRun run = home.run(frame(
      R"({"type":"velixcom","uid":"s1","action":"signMessage","args":{"value":"pay 10","useStoredKey":true}})"));
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(single_frame_body(run.output),
            R"({"action":"signMessage","error":0,"result":{"reason":"no-display","value":""},"type":"velixcom","uid":"s1"})");
}

// Absent keys are applied as false or the empty text, logged in order; only
// null leaves a setting as it is.
TEST(VelixcomSignMessage, LogsEverySettingItApplies) {
  HostHome home;
  const HostRun run = home.run(frame(
      R"({"type":"velixcom","action":"signMessage","args":{"useUTF8":true,"useOperator":null,"session":"S \"1\""}})"));
  ASSERT_TRUE(run.finished);
  const QString expected =
      "Begin handle  \"signMessage\"\n"
      ".*Setup reset key: \"true\"\n"    // useStoredKey absent: the key is dropped
      ".*Setup value: \"true\"\n"        // useUTF8
      ".*Setup value: \"false\"\n"       // useScreenKbd absent
      ".*Setup value: \"false\"\n"       // useCustomer absent; useOperator null is skipped
      ".*Setup value: \"S \\\\\"1\\\\\"\"\n"  // session, quoted and escaped
      ".*Setup value: \"\"\n";           // language absent
  EXPECT_TRUE(QRegularExpression(expected).match(run.logText).hasMatch()) << run.logText.toStdString();
  EXPECT_EQ(run.logText.count("Setup value: "), 5) << run.logText.toStdString();
}

// useScreenKbd is stored in the registry at once: the next process reads it.
TEST(VelixcomSignMessage, AbsentScreenKeyboardIsStoredOffNullKeepsIt) {
  const QByteArray readBack = frame(R"({"type":"velixcom","action":"useScreenKbd"})");
  HostHome home;
  ASSERT_EQ(response_of(home.run(readBack)).value("result").toObject().value("value").toInt(-1), 1);

  home.run(frame(R"({"type":"velixcom","action":"signMessage","args":{"useScreenKbd":null}})"));
  EXPECT_EQ(response_of(home.run(readBack)).value("result").toObject().value("value").toInt(-1), 1);

  home.run(frame(R"({"type":"velixcom","action":"signMessage","args":{"value":"x"}})"));
  EXPECT_EQ(response_of(home.run(readBack)).value("result").toObject().value("value").toInt(-1), 0);
}

// A setting that cannot be stored is answered with the value that is stored
// (what the next process reads), and the log says why.
TEST(VelixcomSettings, UnstoredScreenKeyboardAnswersTheStoredValueAndLogsWhy) {
  const QByteArray off = frame(R"({"type":"velixcom","action":"useScreenKbd","args":{"value":false}})");
  const QByteArray readBack = frame(R"({"type":"velixcom","action":"useScreenKbd"})");
  {
    // The hive is not a file that can be read: it stays as it is.
    HostHome home;
    const QString hive = home.home() + "/.config/velixcom/HKEY_CURRENT_USER.reg";
    ASSERT_TRUE(QDir().mkpath(hive));
    const HostRun run = home.run(off);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(response_of(run).value("result").toObject().value("value").toInt(-1), 1);
    EXPECT_TRUE(run.logText.contains("Setting not stored: cannot read " + hive + ": not a regular file"))
        << run.logText.toStdString();
    EXPECT_TRUE(QFileInfo(hive).isDir());
  }
  {
    // The disk is full: a file size limit stops the hive's write part way.
    HostHome home;
    ASSERT_EQ(response_of(home.run(frame(R"({"type":"velixcom","action":"useScreenKbd","args":{"value":true}})")))
                  .value("result").toObject().value("value").toInt(-1),
              1);
    const QString hive = home.home() + "/.config/velixcom/HKEY_CURRENT_USER.reg";
    QFile file(hive);
    ASSERT_TRUE(file.open(QIODevice::Append));
    // A value large enough that the store no longer fits under the limit.
    file.write("\r\n[HKEY_CURRENT_USER\\Bulk]\r\n\"data\"=\"" + QByteArray(60000, 'a') + "\"\r\n");
    file.close();
    ASSERT_EQ(response_of(home.run(readBack)).value("result").toObject().value("value").toInt(-1), 1);

    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limit{16 * 1024, saved.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
    const HostRun run = home.run(off);
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &previous, nullptr);

    ASSERT_TRUE(run.finished);
    EXPECT_EQ(response_of(run).value("result").toObject().value("value").toInt(-1), 1);
    EXPECT_TRUE(QRegularExpression("Setting not stored: cannot write .*HKEY_CURRENT_USER.reg.*: File too large")
                    .match(run.logText)
                    .hasMatch())
        << run.logText.toStdString();
    EXPECT_EQ(response_of(home.run(readBack)).value("result").toObject().value("value").toInt(-1), 1);
  }
}

}  // namespace
