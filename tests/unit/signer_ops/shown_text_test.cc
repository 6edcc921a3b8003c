// The authorization dialog shows what the operation will sign, and for whom,
// before the user gives the key.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/codepage.h"
#include "signer_fixture.h"
#include "ui/request_origin.h"
#include "ui/sign_dlg.h"

namespace signer_checks {
namespace {

using ui::CSignDlg;

class ShownText : public SignerOps {
 protected:
  void SetUp() override {
    SignerOps::SetUp();
    ListFixtureKey();
  }
  void TearDown() override {
    ui::SetRequestOrigin("");
    SignerOps::TearDown();
  }

  // The dialog records what it shows, then the user types the passphrase and presses OK.
  void ExpectDialogShowing(std::string* site, std::string* text, bool* text_shown = nullptr) {
    ui_.ExpectDialog(201, [=](ui::ScriptedDialog& d) {
      *site = d.IsVisible(CSignDlg::kSite) ? d.Text(CSignDlg::kSite) : "(hidden)";
      *text = d.Text(CSignDlg::kTextView);
      if (text_shown) *text_shown = d.IsVisible(CSignDlg::kTextView) && d.IsVisible(CSignDlg::kTextLabel);
      EXPECT_EQ(d.FocusedItem(), CSignDlg::kPassphrase);  // the passphrase is typed first
      d.SetText(CSignDlg::kTextView, "edited");              // a read-only view
      d.SetText(201, kFixturePassphrase);
      d.Click(1);
    });
  }
};

// A host of 253 characters whose end names the site.
std::string LongOrigin() {
  std::string host;
  for (int label = 0; label < 3; ++label) host += std::string(60, static_cast<char>('a' + label)) + ".";
  host += std::string(253 - host.size() - std::string("evil.example").size(), 'd') + "evil.example";
  return "https://" + host + ":8443";
}

TEST_F(ShownText, SignMessageShowsTheWholeSiteAndTheExactMessage) {
  Config::Instance().useUtf8 = 1;  // the bidirectional controls are signed as they are
  const std::string origin = LongOrigin();
  ASSERT_EQ(origin.size(), 8u + 253 + 5);
  ASSERT_TRUE(ui::SetRequestOrigin(origin));
  const std::u16string message = u"PAYMENT ORDER 7781\r\nPay to \u202E9876 tnuocca\u202C\r\n<b>1,000,000.00</b> RUB\tnow";
  std::string site, text;
  ExpectDialogShowing(&site, &text);
  const std::u16string result = Sign(message);
  EXPECT_EQ(site, origin);  // never cut: its end names the site
  EXPECT_EQ(text, "PAYMENT ORDER 7781\nPay to [U+202E]9876 tnuocca[U+202C]\n<b>1,000,000.00</b> RUB[U+0009]now");
  // What the dialog showed is what was signed, before the AUTH line.
  const std::string signed_text = VerifiedText(platform::utf16_to_utf8(result), kFixtureSerial);
  EXPECT_EQ(signed_text.substr(0, signed_text.find("\r\nAUTH=")), platform::utf16_to_utf8(message));
  EXPECT_TRUE(ui_.message_boxes.empty());
  const std::vector<std::string> refused = ui_.TakeProblems();
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_NE(refused[0].find("typing into read-only control 498"), std::string::npos);
}

TEST_F(ShownText, AnsiModeShowsTheCodePageTextAndTheNextDialogShowsNoStaleText) {
  Config::Instance().useUtf8 = 0;
  std::string site, text;
  ExpectDialogShowing(&site, &text);
  Sign(u"Pay 10\nto IVANOV");
  EXPECT_EQ(site, "(hidden)");  // a script's request names no site
  EXPECT_EQ(text, "Pay 10\nto IVANOV");

  // Choosing a key again signs nothing: no text is shown.
  bool text_shown = true;
  ExpectDialogShowing(&site, &text, &text_shown);
  EXPECT_EQ(signer_.ChangeUser(), kStatusOk);
  EXPECT_FALSE(text_shown);
  EXPECT_EQ(ui_.TakeProblems().size(), 2u);  // the two refused edits of the read-only view
}

TEST_F(ShownText, SignFileShowsTheFileAndStatementShowsTheRequest) {
  const std::string path = home_.dir() + "/order 7781.xml";
  std::ofstream(path, std::ios::binary) << std::string(48213, 'x');
  std::string site, text;
  ExpectDialogShowing(&site, &text);
  std::u16string result;
  EXPECT_EQ(signer_.SignFile(platform::utf8_to_utf16(path), &result), kStatusOk);
  EXPECT_FALSE(result.empty());
  EXPECT_EQ(text, "File: " + path + "\nSize: 48213 bytes");

  CCryptoInitializer::Instance().CloseKey();
  ExpectDialogShowing(&site, &text);
  EXPECT_EQ(signer_.GetStatement(u"01.03.2024", u"31.03.2024", &result), kStatusOk);
  EXPECT_FALSE(result.empty());
  EXPECT_EQ(text, "VERSION: 02\nSTATEMENT REQUEST\nUSER NAME:                      FROM 01/03/2024 TO 31/03/2024");
  EXPECT_EQ(ui_.TakeProblems().size(), 2u);  // the two refused edits of the read-only view
}

}  // namespace
}  // namespace signer_checks
