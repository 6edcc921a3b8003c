// One request in, one response out, through the real program and its pipes.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "host_process.h"

namespace {

struct Exchange {
  const char* name;
  QByteArray body;
  QByteArray response;
};

void PrintTo(const Exchange& exchange, std::ostream* out) { *out << exchange.body.toStdString(); }

class HostExchange : public ::testing::TestWithParam<Exchange> {};

TEST_P(HostExchange, AnswersWithExactlyOneFrame) {
  HostHome home;
  const HostRun run = home.run(frame(GetParam().body));
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitStatus, QProcess::NormalExit);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(single_frame_body(run.output), GetParam().response) << run.output.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Requests, HostExchange,
    ::testing::Values(
        Exchange{"OtherTypeEchoesArgs", R"({"type":"other","action":"x","args":{"a":1}})",
                 R"({"action":"x","error":5,"result":{"a":1},"type":"other","uid":""})"},
        Exchange{"MissingTypeEchoesArgs", R"({"uid":"u1","action":"y","args":{"b":[1,"2"]}})",
                 R"({"action":"y","error":5,"result":{"b":[1,"2"]},"type":"","uid":"u1"})"},
        Exchange{"ArrayBodyIsNoRequest", R"([{"type":"velixcom","action":"version"}])",
                 R"({"action":"","error":5,"result":{},"type":"","uid":""})"},
        Exchange{"InvalidJson", R"({"type":"velixcom",)",
                 R"({"action":"","error":5,"result":{},"type":"","uid":""})"},
        Exchange{"FieldsOfOtherTypesReadAsEmpty", R"({"type":7,"uid":true,"action":null,"args":[1]})",
                 R"({"action":"","error":5,"result":{},"type":"","uid":""})"},
        Exchange{"VelixcomVersion", R"({"type":"velixcom","uid":"7","action":"version"})",
                 R"({"action":"version","error":0,"result":{"value":"1.0.0.345"},"type":"velixcom","uid":"7"})"},
        Exchange{"TypeComparedWithoutCase", R"({"type":"VelixCom","action":"version","args":{"a":1}})",
                 R"({"action":"version","error":0,"result":{"value":"1.0.0.345"},"type":"VelixCom","uid":""})"},
        Exchange{"NonAsciiTextRoundTrips", R"({"type":"тип","uid":"ключ","args":{"v":"€"}})",
                 R"({"action":"","error":5,"result":{"v":"€"},"type":"тип","uid":"ключ"})"}),
    [](const auto& info) { return info.param.name; });

TEST(HostFraming, ShortBodyIsPaddedWithZerosAndAnsweredAsNoRequest) {
  HostHome home;
  const QByteArray body = R"({"type":"other","args":{"a":1}})";
  QByteArray input = frame(body);
  input[0] = static_cast<char>(body.size() + 10);  // ten bytes announced that never come
  const HostRun run = home.run(input);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(single_frame_body(run.output), R"({"action":"","error":5,"result":{},"type":"","uid":""})");
  EXPECT_TRUE(run.logText.contains("Income size:  " + QString::number(body.size() + 10)));
}

TEST(HostFraming, AnswersOnlyTheFirstOfTwoRequests) {
  HostHome home;
  const HostRun run = home.run(frame(R"({"type":"a","uid":"1"})") + frame(R"({"type":"b","uid":"2"})"));
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(single_frame_body(run.output), R"({"action":"","error":5,"result":{},"type":"a","uid":"1"})");
}

// Line feeds and 0x1A (end of file in text mode) in the length prefixes and in
// the body must pass as plain bytes.
TEST(HostFraming, LineFeedAndEofBytesPassThroughUnchanged) {
  HostHome home;
  // The text sets the response's length to 0x0A1A, an ignored key pads the
  // request to 0x1A0A.
  const QByteArray answerHead = R"({"action":"","error":5,"result":{"text":")";
  const QByteArray answerTail = R"("},"type":"other","uid":""})";
  const QByteArray escapedStart = R"(\u001a\n)";
  const int filler = 0x0A1A - answerHead.size() - answerTail.size() - escapedStart.size();
  const QByteArray text = "\x1a\n" + QByteArray(filler, 'x');

  const QByteArray head = "{\n\"type\":\"other\",\n\"args\":{\"text\":\"" + text + "\"},\"pad\":\"";
  const QByteArray tail = "\"}";
  const QByteArray body = head + QByteArray(0x1A0A - head.size() - tail.size(), 'p') + tail;
  const QByteArray input = frame(body);
  ASSERT_EQ(input.left(4), QByteArray("\x0a\x1a\x00\x00", 4));

  const HostRun run = home.run(input);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.output.left(4), QByteArray("\x1a\x0a\x00\x00", 4));
  const QByteArray response = single_frame_body(run.output);
  ASSERT_FALSE(response.isEmpty()) << run.output.left(64).toStdString();
  EXPECT_EQ(response, answerHead + escapedStart + QByteArray(filler, 'x') + answerTail);
}

TEST(HostFraming, EmptyInputIsAnsweredWithNothing) {
  HostHome home;
  for (const QByteArray& input : {QByteArray(), QByteArray(4, '\0'), QByteArray(2, '\0')}) {
    const HostRun run = home.run(input);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.output.isEmpty()) << input.toHex().toStdString();
    EXPECT_TRUE(run.logText.contains("Income size:  0\n")) << input.toHex().toStdString();
    EXPECT_TRUE(run.logText.contains("ERROR, request: 1\n")) << input.toHex().toStdString();
  }
}

// A length over 64 MiB is refused without waiting for the body: standard
// input stays open, so a read would block until the time-out.
TEST(HostFraming, OversizedRequestIsRefusedWithoutReadingOn) {
  HostHome home;
  const uint32_t length = 64u * 1024 * 1024 + 1;
  const QByteArray input(reinterpret_cast<const char*>(&length), 4);
  const HostRun run = home.run(input + "{\"type\":", /*keepInputOpen=*/true);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.output.isEmpty());
  EXPECT_TRUE(run.logText.contains("Income size:  67108865\n"));
  EXPECT_TRUE(run.logText.contains("ERROR, request: 2\n"));
}

}  // namespace
