#include "ui/request_origin.h"

#include <gtest/gtest.h>

#include <string>

#include "ui/backends/scripted/scripted_backend.h"
#include "ui/edit_dlg.h"
#include "settings/key_list.h"

namespace {

TEST(RequestOrigin, IsKeptWholeOrNotAtAll) {
  const std::string host253 = std::string(60, 'a') + "." + std::string(60, 'b') + "." + std::string(60, 'c') +
                              "." + std::string(57, 'd') + ".evil.example";
  ASSERT_EQ(host253.size(), 253u);
  const struct {
    std::string given;
    bool kept;
    std::string stored;
  } cases[] = {
      {"https://bank.example", true, "https://bank.example"},
      {"https://" + host253 + ":65535", true, "https://" + host253 + ":65535"},  // the longest real origin
      {"https://xn--80aswg.xn--p1ai", true, "https://xn--80aswg.xn--p1ai"},        // punycode stays punycode
      {"https://bank.example\r\nX", true, "https://bank.example??X"},
      {"https://" + std::string(1016, 'a'), true, "https://" + std::string(1016, 'a')},  // 1024 characters
      {"https://" + std::string(1017, 'a') + ".evil.example", false, ""},             // never cut to 1024
      {"", true, ""},
  };
  for (const auto& c : cases) {
    ui::SetRequestOrigin("https://previous.example");
    EXPECT_EQ(ui::SetRequestOrigin(c.given), c.kept) << c.given.size();
    EXPECT_EQ(ui::RequestOrigin(), c.stored) << c.given.size();
  }
  ui::SetRequestOrigin("");
}

TEST(RequestOrigin, KeyManagementOpenedByAPageShowsTheSite) {
  ui::ScriptedBackend backend;
  KeyList keys;
  for (const std::string origin : {"https://bank.example", ""}) {
    ui::SetRequestOrigin(origin);
    backend.ExpectDialog(ui::CEditDlg::kTemplateId, [&](ui::ScriptedDialog& d) {
      EXPECT_EQ(d.IsVisible(ui::CEditDlg::kSite), !origin.empty());
      EXPECT_EQ(d.IsVisible(ui::CEditDlg::kSiteLabel), !origin.empty());
      if (!origin.empty()) {
        EXPECT_EQ(d.Text(ui::CEditDlg::kSite), origin);
      }
      d.Click(1);
    });
    ui::CEditDlgImp dialog;
    dialog.SetKeyList(&keys);
    dialog.DoModal(ui::CEditDlg::kTemplateId, nullptr);
  }
  EXPECT_TRUE(backend.Problems().empty());
  ui::SetRequestOrigin("");
}

}  // namespace
