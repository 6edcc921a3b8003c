// Browsers take at most 1 MiB in one message from the host: a larger answer
// is replaced by error 1002, and a signMessage whose document could not fit
// is refused before anything is applied or shown.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "host_process.h"

namespace {

constexpr int kLimit = 1024 * 1024;

QJsonObject response_of(const HostRun& run) {
  return QJsonDocument::fromJson(single_frame_body(run.output)).object();
}

QByteArray request(const QString& type, const QString& action, const QJsonObject& args) {
  return frame(QJsonDocument(QJsonObject{{"type", type}, {"uid", "u9"}, {"action", action}, {"args", args}})
                   .toJson(QJsonDocument::Compact));
}

TEST(HostAnswerSize, AnswerOverOneMebibyteIsReplacedByAnErrorThatSaysSo) {
  HostHome home;
  // The other type's answer echoes the args: one byte over the limit, then
  // exactly at it.
  const QByteArray envelope = R"({"action":"a","error":5,"result":{"t":""},"type":"other","uid":"u9"})";
  for (const int extra : {1, 0}) {
    const QString text(kLimit - envelope.size() + extra, 'x');
    const HostRun run = home.run(request("other", "a", {{"t", text}}));
    ASSERT_TRUE(run.finished);
    EXPECT_LE(run.output.size(), 4 + kLimit);
    const QJsonObject answer = response_of(run);
    if (extra == 0) {
      EXPECT_EQ(answer.value("error").toInt(), 5);
      EXPECT_EQ(single_frame_body(run.output).size(), kLimit);
      continue;
    }
    EXPECT_EQ(answer.value("error").toInt(), 1002);
    EXPECT_EQ(answer.value("uid").toString(), "u9");
    EXPECT_TRUE(answer.value("result").toObject().value("message").toString().contains("at most 1048576 bytes"))
        << single_frame_body(run.output).toStdString();
    EXPECT_TRUE(run.logText.contains("Answer too large, error 1002")) << run.logText.right(400).toStdString();
  }
}

TEST(HostAnswerSize, SignMessageThatCannotFitIsRefusedBeforeAnythingIsApplied) {
  HostHome home;
  // The keyboard setting is stored at once by signMessage: a refused request
  // must leave it as it was.
  ASSERT_EQ(response_of(home.run(request("velixcom", "useScreenKbd", {{"value", true}})))
                .value("result").toObject().value("value").toInt(), 1);

  // Quotes take two bytes each in the answer: half a mebibyte of them is
  // already too much.
  for (const QString& message : {QString(kLimit, 'x'), QString(kLimit / 2, '"')}) {
    const HostRun run = home.run(request("velixcom", "signMessage", {{"value", message}}));
    ASSERT_TRUE(run.finished);
    const QJsonObject answer = response_of(run);
    EXPECT_EQ(answer.value("error").toInt(), 1002) << single_frame_body(run.output).left(200).toStdString();
    EXPECT_TRUE(answer.value("result").toObject().value("message").toString().contains("at least"));
    EXPECT_FALSE(run.logText.contains("Setup value")) << run.logText.right(400).toStdString();
  }
  EXPECT_EQ(response_of(home.run(request("velixcom", "useScreenKbd", {})))
                .value("result").toObject().value("value").toInt(), 1);

  // A message that can fit goes on to signing (here headless: Cancel).
  const HostRun fits = home.run(request("velixcom", "signMessage", {{"value", QString(kLimit / 2, 'x')}}));
  EXPECT_EQ(response_of(fits).value("error").toInt(-1), 0);
}

// A body over 4 MiB cannot have an answer the browser takes: it is refused
// unread (parsing would cost several times its size), nothing of it applied.
TEST(HostAnswerSize, RequestTooLargeForAnyAnswerIsRefusedUnread) {
  HostHome home;
  QByteArray junk = "[1";
  junk.reserve(5 * kLimit);
  while (junk.size() < 5 * kLimit) junk += ",1";
  junk += "]";
  const QByteArray body = R"({"type":"velixcom","uid":"u9","action":"useScreenKbd","args":{"value":false,"junk":)" +
                          junk + "}}";
  const HostRun run = home.run(frame(body));
  ASSERT_TRUE(run.finished);
  const QJsonObject answer = response_of(run);
  EXPECT_EQ(answer.value("error").toInt(), 1002);
  EXPECT_TRUE(answer.value("result").toObject().value("message").toString().startsWith(
      "The request is " + QString::number(body.size()) + " bytes"))
      << single_frame_body(run.output).left(300).toStdString();
  EXPECT_TRUE(run.logText.contains("Answer too large, error 1002")) << run.logText.right(400).toStdString();
  EXPECT_EQ(response_of(home.run(request("velixcom", "useScreenKbd", {})))
                .value("result").toObject().value("value").toInt(), 1);
}

}  // namespace
