// A signed document goes into the answer straight from its UTF-8 bytes; the
// answer must be byte for byte the one Qt's JSON writer makes of the same text.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <string>

#include "host/host_request.h"
#include "host/json_text.h"
#include "platform/codepage.h"

namespace {

QString utf16_of(const std::string& utf8) {
  const std::u16string text = platform::utf8_to_utf16(utf8);
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<int>(text.size()));
}

// Qt's compact form of the text as a JSON string.
QByteArray qt_json_string(const std::string& utf8) {
  const QByteArray array = QJsonDocument(QJsonArray{utf16_of(utf8)}).toJson(QJsonDocument::Compact);
  return array.mid(1, array.size() - 2);
}

std::string every_ascii_character() {
  std::string text;
  for (int c = 0; c < 0x80; ++c) text += static_cast<char>(c);
  return text;
}

TEST(LongTextJson, ValidUtf8IsWrittenAsQtWritesIt) {
  const std::string texts[] = {
      "",
      every_ascii_character(),
      "-----BEGIN SIGNED MESSAGE-----\r\n\"pay\" \\ 10 / <b>\r\n",
      "\xD0\xBE\xD0\xBF\xD0\xBB\xD0\xB0\xD1\x82\xD0\xB0 \xE2\x82\xAC \xE4\xB8\xAD",  // Cyrillic, euro, CJK
      "\xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF",                                        // beyond the basic plane
      "\xEF\xBB\xBF\xEF\xBF\xBD\xEF\xBF\xBF\xE2\x80\xA8\xC2\x80\xC2\x9F\x7F",     // BOM, U+FFFD, U+FFFF, U+2028, C1
  };
  for (const std::string& text : texts) {
    const QByteArray expected = qt_json_string(text);
    EXPECT_EQ(json_string_size(text), expected.size()) << text;
    QByteArray written = "prefix";
    append_json_string(text, &written);
    EXPECT_EQ(written, "prefix" + expected) << text;
  }
}

TEST(LongTextJson, InvalidUtf8IsNotWritten) {
  const char* const texts[] = {
      "\x80",              // a continuation byte alone
      "\xC0\x80",          // overlong NUL
      "\xE0\x80\xAF",      // overlong slash
      "\xED\xA0\x80",      // a surrogate
      "\xE2\x82",          // cut short
      "\xF4\x90\x80\x80",  // beyond U+10FFFF
      "\xF5\x80\x80\x80",
      "ok\xFF",
  };
  for (const char* text : texts) EXPECT_EQ(json_string_size(text), -1) << text;
}

class LongTextHandler : public ActionHandler {
 public:
  LongTextHandler(QJsonObject result, QString key, std::string text) : result_object_(std::move(result)) {
    error_ = 7;
    long_text_key_ = std::move(key);
    long_text_ = std::move(text);
  }
  bool handle(const QString&, QJsonObject) override { return true; }
  QJsonObject result() const override { return result_object_; }

 private:
  QJsonObject result_object_;
};

TEST(LongTextJson, AnswerIsTheOneQtWritesWhereverTheTextGoes) {
  HostRequest request;
  request.uid = QString::fromUtf8("u\"1\xD1\x8F");
  request.type = "velixcom";
  request.action = "signMessage";
  struct Case {
    const char* what;
    QJsonObject result;
    QString key;
    std::string text;
  };
  const Case cases[] = {
      {"after the reason", {{"reason", "ok"}}, "value", "-----BEGIN\r\n\"x\"\t\xD1\x8F\r\n"},
      {"alone", {}, "value", "doc"},
      {"empty text", {{"reason", "cancelled"}}, "value", ""},
      {"key sorting first", {{"reason", "ok"}, {"zeta", 1}}, "alpha", "doc\n"},
      {"between other keys", {{"a", true}, {"z", QJsonArray{1}}}, "m", "doc"},
      {"text that is not UTF-8", {{"reason", "ok"}}, "value", "doc\xFF\xC0\x80"},
      {"text starting with a byte order mark", {{"reason", "ok"}}, "value", "\xEF\xBB\xBF" "doc"},
  };
  for (const Case& c : cases) {
    // As the handler built its result before: a QString from UTF-16, which
    // drops a byte order mark at the start.
    QJsonObject whole = c.result;
    whole.insert(c.key, QString::fromStdU16String(platform::utf8_to_utf16(c.text)));
    const QJsonObject expected{{"uid", request.uid}, {"type", request.type}, {"action", request.action},
                               {"error", 7},          {"result", whole}};
    EXPECT_EQ(handled_answer(request, LongTextHandler(c.result, c.key, c.text)),
              QJsonDocument(expected).toJson(QJsonDocument::Compact))
        << c.what;
  }
}

}  // namespace
