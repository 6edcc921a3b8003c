#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "signature_check.h"
#include "settings/key_list.h"
#include "signer_fixture.h"

namespace signer_checks {
namespace {

using OtherOperations = SignerOps;

std::string WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

TEST_F(OtherOperations, SignFileSignsTheFileBytes) {
  OpenFixtureKey();
  std::string data = "statement\r\n";
  data += std::string("\0\x01\xFF binary", 10);
  const std::string path = WriteFile(home_.dir() + "/payment order.bin", data);
  std::u16string result;
  EXPECT_EQ(signer_.SignFile(platform::utf8_to_utf16(path), &result), kStatusOk);
  EXPECT_TRUE(DetachedSignatureVerifies(platform::utf16_to_utf8(result), data, PublicRecord()));
  EXPECT_TRUE(ui_.message_boxes.empty());
}

TEST_F(OtherOperations, SignFileThatCannotBeReadIsReported) {
  OpenFixtureKey();
  const std::string empty = WriteFile(home_.dir() + "/empty.txt", "");
  for (const std::string& path : {empty, home_.dir() + "/missing.txt", home_.dir()}) {
    std::u16string result = u"untouched";
    signer_.set_Error(0);
    EXPECT_EQ(signer_.SignFile(platform::utf8_to_utf16(path), &result), kStatusOk);
    EXPECT_EQ(result, u"") << path;
    EXPECT_EQ(signer_.Error(), 0);  // SignFile leaves Error alone
  }
  ASSERT_EQ(ui_.message_boxes.size(), 3u);
  for (const auto& box : ui_.message_boxes) {
    EXPECT_EQ(box.text, "Error reading file");
    EXPECT_EQ(box.caption, "Error");
  }
}

TEST_F(OtherOperations, StatementRequestText) {
  OpenFixtureKey();
  SetUserName("IVANOV");
  std::u16string result;
  EXPECT_EQ(signer_.GetStatement(u"01.03.2024", u"31.03.2024", &result), kStatusOk);
  EXPECT_EQ(VerifiedText(platform::utf16_to_utf8(result), kFixtureSerial),
            "VERSION: 02\r\nSTATEMENT REQUEST\r\nUSER NAME: IVANOV               FROM 01/03/2024 TO 31/03/2024");
  EXPECT_TRUE(ui_.Shown().empty());
}

TEST_F(OtherOperations, RussianStatementRequestIsSignedIn1251OrRefusedWhereThePageCannotHoldIt) {
  VELIX_LINUX_FACT("the ANSI code page follows the locale variables, 1251 for English");
  OpenFixtureKey();
  SetUserName("IVANOV");
  ui::SetThreadUiLanguage(1049);
  std::u16string result;
  EXPECT_EQ(signer_.GetStatement(u"01.03.2024", u"31.03.2024", &result), kStatusOk);
  // "ВЕРСИЯ: 02", "ЗАПРОС НА ВЫПИСКУ", "КЛИЕНТ: IVANOV ... ОТ ... ДО ..." in code page 1251.
  EXPECT_EQ(VerifiedText(platform::utf16_to_code_page(result, 1251).value_or(""), kFixtureSerial),
            platform::utf16_to_code_page(u"ВЕРСИЯ: 02\r\nЗАПРОС НА ВЫПИСКУ\r\nКЛИЕНТ: IVANOV               "
                                         u"ОТ 01/03/2024 ДО 31/03/2024", 1251).value());
  EXPECT_EQ(signer_.Error(), 0);

  const struct {
    const char* lang;
    std::u16string from;
  } refused[] = {{"de_DE.UTF-8", u"01.03.2024"}, {"C.UTF-8", u"01.03.2024\u4E2D"}};
  for (const auto& c : refused) {
    ScopedEnv lang("LANG", c.lang);
    ui_.message_boxes.clear();
    result = u"untouched";
    EXPECT_EQ(signer_.GetStatement(c.from, u"31.03.2024", &result), kStatusOk);
    EXPECT_EQ(result, u"") << c.lang;
    EXPECT_EQ(signer_.Error(), kErrorUnrepresentableText) << c.lang;
    ASSERT_EQ(ui_.message_boxes.size(), 1u) << c.lang;
    EXPECT_EQ(ui_.message_boxes[0].text_id, 168);
  }
}

TEST_F(OtherOperations, StatementDatesComeFromTheDialogWhenOneIsMissing) {
  OpenFixtureKey();
  SetUserName("IVANOV");
  ui_.ExpectDialog(205, [](ui::ScriptedDialog& d) { d.Click(2); });
  std::u16string result = u"untouched";
  EXPECT_EQ(signer_.GetStatement(u"", u"31.03.2024", &result), kStatusOk);
  EXPECT_EQ(result, u"");
  CCryptoInitializer::Instance().CloseKey();  // cancelling must not ask for the key
  ui_.ExpectDialog(205, [](ui::ScriptedDialog& d) {
    d.SetText(211, "1.2.2024");
    d.SetText(213, "29.2.2024");
    d.Click(1);
  });
  ListFixtureKey();
  ExpectPassphraseDialog();
  EXPECT_EQ(signer_.GetStatement(u"01.03.2024", u"", &result), kStatusOk);
  EXPECT_EQ(ui_.Shown(), (std::vector<int>{205, 205, 201}));
  EXPECT_EQ(VerifiedText(platform::utf16_to_utf8(result), kFixtureSerial),
            "VERSION: 02\r\nSTATEMENT REQUEST\r\nUSER NAME: Test                 FROM 1/2/2024 TO 29/2/2024");
}

TEST_F(OtherOperations, StatementThatDoesNotFitIsReported) {
  VELIX_LINUX_FACT("the ANSI code page follows the locale variables");
  ScopedEnv russian("LANG", "ru_RU.UTF-8");
  Config::Instance().useUtf8 = 1;
  OpenFixtureKey();
  // 254 bytes of code page 1251 each, twice that in UTF-8: the signed request outgrows its 1024 bytes.
  const std::u16string date(254, u'Ж');
  std::u16string result = u"untouched";
  EXPECT_EQ(signer_.GetStatement(date, date, &result), kStatusOk);
  EXPECT_EQ(result, u"");
  ASSERT_EQ(ui_.message_boxes.size(), 1u);
  EXPECT_EQ(ui_.message_boxes[0].text, "Memory allocation error");
  EXPECT_EQ(ui_.message_boxes[0].caption, "Signing error");
}

TEST_F(OtherOperations, ResetMakesTheNextSignatureAskForTheKey) {
  OpenGeneratedKey(1234);
  EXPECT_EQ(signer_.Reset(), kStatusOk);
  EXPECT_FALSE(CCryptoInitializer::Instance().key_open());
  EXPECT_EQ(signer_.Reset(), kStatusOk);  // nothing open: nothing to do
  ListFixtureKey();
  ExpectPassphraseDialog();
  std::u16string result;
  signer_.SignMessage(u"Pay 10", &result);
  EXPECT_EQ(ui_.Shown(), std::vector<int>{201});
  const std::string text = VerifiedText(platform::utf16_to_utf8(result), kFixtureSerial);
  EXPECT_EQ(text, "Pay 10\r\nAUTH=" + Auth("Pay 10\r\n", kFixtureSerial) + "\r\n");
}

TEST_F(OtherOperations, ChangeUserAsksWhileAKeyIsOpen) {
  OpenGeneratedKey(1234);
  ListFixtureKey();
  ExpectPassphraseDialog();
  EXPECT_EQ(signer_.ChangeUser(), kStatusOk);
  EXPECT_EQ(ui_.Shown(), std::vector<int>{201});
  EXPECT_EQ(OpenKey().serial, kFixtureSerial);
  EXPECT_STREQ(CurrentUserName, "Test");  // the key file's user ID up to its first space
}

TEST_F(OtherOperations, EditKeysSavesTheListEvenAfterCancel) {
  KeyList stored;
  stored.Append("old name", kFixtureKeyPath);
  stored.Save();
  ui_.ExpectDialog(203, [this](ui::ScriptedDialog& d) {
    d.Select(205, 0);
    ui_.ExpectDialog(204, [](ui::ScriptedDialog& ask) {
      ask.SetText(210, "new name");
      ask.PressEnter();
    });
    d.Click(221);  // rename
    d.PressEscape();
  });
  EXPECT_EQ(signer_.EditKeys(), kStatusOk);
  KeyList reread;
  reread.Load();
  ASSERT_EQ(reread.size(), 1u);
  EXPECT_EQ(reread.head()->name, "new name");
  EXPECT_EQ(reread.head()->path, kFixtureKeyPath);
}

TEST_F(OtherOperations, DecryptMessageIsNotImplemented) {
  std::u16string result = u"untouched";
  EXPECT_EQ(signer_.DecryptMessage(u"text", 1, &result), kStatusNotImplemented);
  EXPECT_EQ(result, u"untouched");
  LockHolder other;  // it takes no lock, so it is never refused
  EXPECT_EQ(signer_.DecryptMessage(u"text", 1, &result), kStatusNotImplemented);
  EXPECT_TRUE(ui_.message_boxes.empty());
}

TEST_F(OtherOperations, LockingOperationsAreRefusedWhileAnotherThreadHoldsTheLock) {
  OpenFixtureKey();
  const std::string file = WriteFile(home_.dir() + "/data.txt", "data");
  LockHolder other;
  ASSERT_TRUE(other.held());
  std::u16string result = u"untouched";
  signer_.GetStatement(u"01.03.2024", u"31.03.2024", &result);
  EXPECT_EQ(result, u"");
  result = u"untouched";
  signer_.SignFile(platform::utf8_to_utf16(file), &result);
  EXPECT_EQ(result, u"");
  signer_.Reset();
  EXPECT_TRUE(CCryptoInitializer::Instance().key_open());
  signer_.ChangeUser();
  signer_.EditKeys();
  EXPECT_TRUE(ui_.Shown().empty());
  ASSERT_EQ(ui_.message_boxes.size(), 5u);
  for (const auto& box : ui_.message_boxes) EXPECT_EQ(box.text, "Library already in use");
  EXPECT_EQ(signer_.Error(), 0);  // only SignMessage records the refusal
}

}  // namespace
}  // namespace signer_checks
