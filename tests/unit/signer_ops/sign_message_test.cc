#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"
#include "signer_fixture.h"

namespace signer_checks {
namespace {

class SignMessageTest : public SignerOps {
 protected:
  // The signed text of a result, checked against the open key.
  std::string SignedText(const std::u16string& result, uint32_t serial) {
    const std::string bytes = Config::Instance().useUtf8 != 0 ? platform::utf16_to_utf8(result)
                                                              : platform::utf16_to_ansi(result).value_or("");
    return VerifiedText(bytes, serial);
  }
};

TEST_F(SignMessageTest, PayTenWithSerial1234) {
  OpenGeneratedKey(1234);
  const std::u16string result = Sign(u"Pay 10");
  EXPECT_EQ(SignedText(result, 1234), "Pay 10\r\nAUTH=" + Auth("Pay 10\r\n", 1234) + "\r\n");
  EXPECT_EQ(signer_.Error(), 0);
  EXPECT_TRUE(ui_.message_boxes.empty());
  EXPECT_TRUE(ui_.Shown().empty());  // the open key was reused
}

TEST_F(SignMessageTest, LineBreakAndMarkupForms) {
  OpenFixtureKey();
  const struct {
    std::u16string message;
    std::string hashed;  // the text before the AUTH line
    bool markup;
  } cases[] = {
      {u"<p>Pay 10</p>", "<p>Pay 10</p>\r\n", true},
      {u"Pay 10\n", "Pay 10\n", false},              // already ends with a line feed
      {u"Pay 10\r\n", "Pay 10\r\n", false},
      {u"Pay 10\r", "Pay 10\r\r\n", false},          // a lone CR is not a line end
      {u"", "\r\n", false},
      {std::u16string(u"Pay\0 10", 7), "Pay\r\n", false},  // the text ends at a NUL
  };
  for (const auto& c : cases) {
    const std::string digest = Auth(c.hashed, kFixtureSerial);
    const std::string line = c.markup ? "<!-- AUTH=" + digest + " -->\r\n" : "AUTH=" + digest + "\r\n";
    EXPECT_EQ(SignedText(Sign(c.message), kFixtureSerial), c.hashed + line) << c.hashed;
  }
}

TEST_F(SignMessageTest, SessionHeaderCountsPackets) {
  OpenFixtureKey();
  SetUserName("IVANOV");
  signer_.put_Operator(1);
  signer_.put_Session(u"S1");
  const std::string first = SignedText(Sign(u"one"), kFixtureSerial);
  signer_.put_Customer(1);  // the session block wins over the customer line
  const std::string second = SignedText(Sign(u"two"), kFixtureSerial);

  auto header = [](const char* packet) {
    return std::string("SESSION: S1                  \r\nPACKET NUMBER: ") + packet +
           "\r\nCOMMAND NUMBER: 000000\r\nUSER NAME: IVANOV              \r\n";
  };
  EXPECT_EQ(first, header("000000") + "one\r\nAUTH=" + Auth(header("000000") + "one\r\n", kFixtureSerial) + "\r\n");
  EXPECT_EQ(second, header("000001") + "two\r\nAUTH=" + Auth(header("000001") + "two\r\n", kFixtureSerial) + "\r\n");
  EXPECT_EQ(second.find("CUSTOMER"), std::string::npos);
}

TEST_F(SignMessageTest, CustomerLine) {
  OpenFixtureKey();
  SetUserName("IVANOV");
  signer_.put_Customer(1);
  const std::string hashed = "CUSTOMER: IVANOV              \r\nPay 10\r\n";
  EXPECT_EQ(SignedText(Sign(u"Pay 10"), kFixtureSerial),
            hashed + "AUTH=" + Auth(hashed, kFixtureSerial) + "\r\n");
  EXPECT_EQ(PacketCounter, 0);  // only session mode counts packets
}

TEST_F(SignMessageTest, LongTextsAreSignedWholeInUtf8) {
  OpenFixtureKey();
  Config::Instance().useUtf8 = 1;
  SetUserName("IVANOV");
  signer_.put_Customer(1);
  // CJK characters take three UTF-8 bytes for one UTF-16 unit: more than twice
  // the UTF-16 length plus the fixed room of a buffer sized from UTF-16.
  for (const std::u16string& message : {std::u16string(6000, u'Ж'), std::u16string(6000, u'中'),
                                        std::u16string(3000, u'中') + u"\U0001F600"}) {
    const std::u16string result = Sign(message);
    const std::string hashed = "CUSTOMER: IVANOV              \r\n" + platform::utf16_to_utf8(message) + "\r\n";
    EXPECT_EQ(SignedText(result, kFixtureSerial), hashed + "AUTH=" + Auth(hashed, kFixtureSerial) + "\r\n");
    EXPECT_NE(result.find(message), std::u16string::npos);
    EXPECT_EQ(signer_.Error(), 0);
  }
}

TEST_F(SignMessageTest, AnsiModeSignsTheCodePageBytes) {
  VELIX_LINUX_FACT("the ANSI code page follows the locale variables");
  ScopedEnv russian("LANG", "ru_RU.UTF-8");
  OpenFixtureKey();
  const std::u16string result = Sign(u"Оплата 10");
  const std::string hashed = "\xCE\xEF\xEB\xE0\xF2\xE0 10\r\n";  // code page 1251
  EXPECT_EQ(SignedText(result, kFixtureSerial), hashed + "AUTH=" + Auth(hashed, kFixtureSerial) + "\r\n");
}

TEST_F(SignMessageTest, RussianHeaderAndMessageAreSignedIn1251UnderAnEnglishLocale) {
  VELIX_LINUX_FACT("the ANSI code page follows the locale variables, 1251 for English");
  OpenFixtureKey();
  ui::SetThreadUiLanguage(1049);
  SetUserName("IVANOV");
  signer_.put_Customer(1);
  // "ПОКУПАТЕЛЬ: IVANOV ..." and "Оплата 10" in code page 1251.
  const std::string hashed =
      "\xCF\xCE\xCA\xD3\xCF\xC0\xD2\xC5\xCB\xDC: IVANOV              \r\n\xCE\xEF\xEB\xE0\xF2\xE0 10\r\n";
  EXPECT_EQ(SignedText(Sign(u"Оплата 10"), kFixtureSerial), hashed + "AUTH=" + Auth(hashed, kFixtureSerial) + "\r\n");
  EXPECT_EQ(signer_.Error(), 0);
}

TEST_F(SignMessageTest, TextTheAnsiPageCannotHoldIsRefusedAndNothingSigned) {
  const struct {
    const char* what;
    const char* lang;
    uint16_t ui_language;
    bool open_key;  // false: the refusal must come before anyone is asked for a key
    int32_t customer, op;
    std::u16string session, message;
  } cases[] = {
      {"CJK message, 1251", "en_US.UTF-8", 1033, false, 0, 0, u"", u"pay \u4E2D 10"},
      {"emoji message, 1251", "C.UTF-8", 1049, false, 0, 0, u"", u"pay \U0001F600"},
      {"Cyrillic message, 1252", "de_DE.UTF-8", 1033, false, 0, 0, u"", u"Оплата 10"},
      {"Russian customer header, 1252", "de_DE.UTF-8", 1049, true, 1, 0, u"", u"Pay 10"},
      {"session holding CJK, 1251", "en_US.UTF-8", 1033, true, 0, 1, u"S\u4E2D", u"Pay 10"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedEnv lang("LANG", c.lang);
    CCryptoInitializer::Instance().CloseKey();
    if (c.open_key) OpenFixtureKey();
    ui::SetThreadUiLanguage(c.ui_language);
    SetUserName("IVANOV");
    signer_.put_Customer(c.customer);
    signer_.put_Operator(c.op);
    signer_.put_Session(c.session);
    ui_.message_boxes.clear();
    PacketCounter = 0;

    EXPECT_EQ(Sign(c.message), u"");
    EXPECT_EQ(signer_.Error(), kErrorUnrepresentableText);
    EXPECT_TRUE(ui_.Shown().empty());
    ASSERT_EQ(ui_.message_boxes.size(), 1u);
    EXPECT_EQ(ui_.message_boxes[0].text_id, 168);
    EXPECT_EQ(ui_.message_boxes[0].text, ui::LoadResString(168));
    EXPECT_EQ(ui_.message_boxes[0].type, ui::kMbOk | ui::kMbIconError);
    EXPECT_EQ(PacketCounter, 0);  // a refused message takes no packet number
  }
}

TEST_F(SignMessageTest, Utf8ModeSignsWhatTheAnsiPageCannotHold) {
  ScopedEnv western("LANG", "de_DE.UTF-8");
  OpenFixtureKey();
  Config::Instance().useUtf8 = 1;
  ui::SetThreadUiLanguage(1049);
  SetUserName("IVANOV");
  signer_.put_Operator(1);
  signer_.put_Session(u"Сессия\u4E2D");
  const std::string hashed =
      "СЕССИЯ: Сессия\u4E2D             \r\nНОМЕР ПАКЕТА: 000000\r\nЧИСЛО КОМАНД: 000000\r\n"
      "ПОЛЬЗОВАТЕЛЬ: IVANOV              \r\npay \u4E2D\r\n";
  EXPECT_EQ(SignedText(Sign(u"pay \u4E2D"), kFixtureSerial), hashed + "AUTH=" + Auth(hashed, kFixtureSerial) + "\r\n");
  EXPECT_EQ(signer_.Error(), 0);
}

TEST_F(SignMessageTest, RefusedWhileAnotherThreadHoldsTheLock) {
  OpenFixtureKey();
  signer_.set_Error(1008);
  LockHolder other;
  ASSERT_TRUE(other.held());
  EXPECT_EQ(Sign(u"Pay 10"), u"");
  EXPECT_EQ(signer_.Error(), kErrorLibraryInUse);
  ASSERT_EQ(ui_.message_boxes.size(), 1u);
  EXPECT_EQ(ui_.message_boxes[0].text, "Library already in use");
  EXPECT_EQ(ui_.message_boxes[0].caption, "Error");
}

TEST_F(SignMessageTest, CoreFailureIsShownAndRecorded) {
  OpenFixtureKey();
  KeyHandle& key = OpenKey();
  const int16_t engine = key.engine_id;
  key.engine_id = 4;  // never registered: "Crypto engine not ready"
  const std::u16string result = Sign(u"Pay 10");
  key.engine_id = engine;
  EXPECT_EQ(result, u"");
  EXPECT_EQ(signer_.Error(), 1000 - CORE_E_NOT_READY);
  ASSERT_EQ(ui_.message_boxes.size(), 1u);
  EXPECT_EQ(ui_.message_boxes[0].text, "Crypto engine not ready");
  EXPECT_EQ(ui_.message_boxes[0].caption, "Signing error");
  EXPECT_EQ(ui_.message_boxes[0].type, ui::kMbOk | ui::kMbIconError);
}

}  // namespace
}  // namespace signer_checks
