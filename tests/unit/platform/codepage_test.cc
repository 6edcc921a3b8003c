#include "platform/codepage.h"

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/ui_language.h"
#include "tests/unit/support/temp_config_home.h"

namespace {

using platform::code_page_to_utf16;
using platform::utf16_to_code_page;

struct LocaleCase {
  const char* lc_all;
  const char* lc_ctype;
  const char* lang;
  unsigned code_page;
};

TEST(AnsiCodePage, WesternEuropeanLocalesGet1252AndEveryOtherLocale1251) {
  VELIX_LINUX_FACT("the ANSI code page follows the locale variables");
  const LocaleCase cases[] = {
      {nullptr, nullptr, "ru_RU.UTF-8", 1251},   {nullptr, nullptr, "uk_UA.UTF-8", 1251},
      {nullptr, nullptr, "de_DE.UTF-8", 1252},   {nullptr, nullptr, "fr_FR", 1252},
      {nullptr, nullptr, "nb_NO.UTF-8", 1252},   {nullptr, nullptr, "pt_BR.UTF-8", 1252},
      {nullptr, nullptr, "sv_SE@euro", 1252},    {nullptr, nullptr, "SW_ke", 1252},
      // English, the C and POSIX locales, and no locale at all: the product's texts are Russian.
      {nullptr, nullptr, "en_US.UTF-8", 1251},   {nullptr, nullptr, "C.UTF-8", 1251},
      {nullptr, nullptr, "C", 1251},             {nullptr, nullptr, "POSIX", 1251},
      {nullptr, nullptr, nullptr, 1251},         {nullptr, nullptr, "pl_PL.UTF-8", 1251},
      {"de_DE.UTF-8", "ru_RU", "ru_RU", 1252},   {nullptr, "de_DE.UTF-8", "ru_RU", 1252},
      {"", "", "de_DE", 1252},                   {"C.UTF-8", "de_DE", "de_DE", 1251},
  };
  for (const auto& c : cases) {
    ScopedEnv all("LC_ALL", c.lc_all), ctype("LC_CTYPE", c.lc_ctype), lang("LANG", c.lang);
    EXPECT_EQ(platform::locale_ansi_code_page(), c.code_page)
        << (c.lc_all ? c.lc_all : "-") << " " << (c.lc_ctype ? c.lc_ctype : "-") << " "
        << (c.lang ? c.lang : "-");
  }
}

// The CodePage value overrides the locale's page on every system; only a
// REG_DWORD naming 1251 or 1252 counts.
TEST(AnsiCodePage, StoredValueCountsOnlyAsADwordOf1251Or1252) {
  TempConfigHome home;
  EXPECT_EQ(platform::stored_ansi_code_page(), 0u);  // no VelixCom key at all
  platform::RegKey key;
  ASSERT_EQ(key.Create(platform::RegHive::kCurrentUser, "Software\\VelixCom"), platform::kRegOk);
  const uint32_t cyrillic = 1251, western = 1252, dos = 866;
  const uint16_t short_western = 1252;
  const struct {
    const char* what;
    uint32_t type;
    const void* data;
    uint32_t size;
    unsigned expected;
  } cases[] = {
      {"1251", platform::kRegDword, &cyrillic, 4, 1251},
      {"1252", platform::kRegDword, &western, 4, 1252},
      {"866", platform::kRegDword, &dos, 4, 0},
      {"1252 as text", platform::kRegSz, "1252", 5, 0},
      {"1252 as binary", platform::kRegBinary, &western, 4, 0},
      {"1252 in two bytes", platform::kRegDword, &short_western, 2, 0},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(key.SetValue("CodePage", c.type, c.data, c.size), platform::kRegOk) << c.what;
    EXPECT_EQ(platform::stored_ansi_code_page(), c.expected) << c.what;
  }
  ASSERT_EQ(key.DeleteValue("CodePage"), platform::kRegOk);
  EXPECT_EQ(platform::stored_ansi_code_page(), 0u);
}

TEST(UiLanguage, RussianOnlyForARussianLocale) {
  VELIX_LINUX_FACT("the UI language follows the locale variables");
  struct Case {
    const char* language;
    const char* lc_all;
    const char* lc_messages;
    const char* lang;
    uint16_t expected;
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, "ru_RU.UTF-8", 1049}, {nullptr, nullptr, nullptr, "uk_UA.UTF-8", 1033},
      {"ru:en", nullptr, nullptr, "en_US", 1049},       {"en:ru", nullptr, nullptr, "ru_RU", 1033},
      {nullptr, nullptr, "ru_RU", "en_US", 1049},       {nullptr, "en_US", "ru_RU", "ru_RU", 1033},
      {nullptr, nullptr, nullptr, nullptr, 1033},
  };
  for (const auto& c : cases) {
    ScopedEnv language("LANGUAGE", c.language), all("LC_ALL", c.lc_all),
        messages("LC_MESSAGES", c.lc_messages), lang("LANG", c.lang);
    EXPECT_EQ(platform::user_ui_language(), c.expected) << (c.lang ? c.lang : "-");
  }
}

TEST(CodePage, CyrillicRoundTripsThrough1251) {
  const std::u16string text = u"Ошибка: ёЁ №5";
  const auto bytes = utf16_to_code_page(text, 1251);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes, "\xCE\xF8\xE8\xE1\xEA\xE0: \xB8\xA8 \xB9" "5");
  EXPECT_EQ(code_page_to_utf16(*bytes, 1251), text);
}

TEST(CodePage, UnmappableCharactersBecomeQuestionMarks) {
  // Cyrillic in 1252, a CJK character, and an emoji (one surrogate pair: one "?").
  EXPECT_EQ(utf16_to_code_page(u"aЖb", 1252), "a?b");
  EXPECT_EQ(utf16_to_code_page(u"x\u4E2Dy", 1251), "x?y");
  EXPECT_EQ(utf16_to_code_page(u"1\U0001F600" u"2", 1252), "1?2");
  // A lone surrogate is not a character either.
  const char16_t lone[] = {u'a', 0xD800, u'b', 0};
  EXPECT_EQ(utf16_to_code_page(lone, 1252), "a?b");
  EXPECT_EQ(utf16_to_code_page(lone, platform::kCodePageUtf8), "a\xEF\xBF\xBD" "b");
}

TEST(CodePage, ExactConversionRefusesWhatThePageCannotHold) {
  EXPECT_EQ(platform::utf16_to_code_page_exact(u"ПОКУПАТЕЛЬ: €5", 1251), "\xCF\xCE\xCA\xD3\xCF\xC0\xD2\xC5\xCB\xDC: \x88" "5");
  EXPECT_EQ(platform::utf16_to_code_page_exact(u"Café €", 1252), "Caf\xE9 \x80");
  EXPECT_FALSE(platform::utf16_to_code_page_exact(u"x\u4E2Dy", 1251));
  EXPECT_FALSE(platform::utf16_to_code_page_exact(u"ПОКУПАТЕЛЬ", 1252));
  EXPECT_FALSE(platform::utf16_to_code_page_exact(u"1\U0001F600", 1251));
  // What a single-byte page leaves undefined comes back as the byte it was.
  EXPECT_EQ(platform::utf16_to_code_page_exact(code_page_to_utf16("a\x98", 1251), 1251), "a\x98");
  // A control character whose number the page gives to a letter ("Ђ" is 0x80) is not that letter.
  EXPECT_FALSE(platform::utf16_to_code_page_exact(u"\u0080", 1251));
  EXPECT_EQ(platform::utf16_to_code_page_exact(u"\u4E2D", platform::kCodePageUtf8), "\xE4\xB8\xAD");
}

TEST(CodePage, FailsOnlyWhenTheOutputDoesNotFit) {
  const std::u16string text(254, u'x');
  EXPECT_TRUE(utf16_to_code_page(text, 1252, 254));
  EXPECT_FALSE(utf16_to_code_page(text + u"x", 1252, 254));
  // The limit counts bytes, not characters: two-byte UTF-8 characters.
  EXPECT_EQ(utf16_to_code_page(u"ЖЖ", platform::kCodePageUtf8, 4), "\xD0\x96\xD0\x96");
  EXPECT_FALSE(utf16_to_code_page(u"ЖЖ", platform::kCodePageUtf8, 3));
  EXPECT_EQ(utf16_to_code_page(u"", 1252, 0), "");
}

TEST(CodePage, InvalidInputBytesAreReplacedNotDropped) {
  // 0x81 is undefined in 1252 and 0x98 in 1251: kept as the code point of the same number.
  EXPECT_EQ(code_page_to_utf16("a\x81" "b", 1252), u"a\u0081b");
  EXPECT_EQ(code_page_to_utf16("\x98", 1251), u"\u0098");
  // Broken UTF-8: a stray continuation byte, a cut sequence at the end.
  EXPECT_EQ(code_page_to_utf16("a\x80" "b", platform::kCodePageUtf8), u"a\uFFFDb");
  EXPECT_EQ(code_page_to_utf16("a\xD0", platform::kCodePageUtf8), u"a\uFFFD");
  // Long texts cross the converter's internal chunks intact.
  const std::string long_text(5000, '\xD6');
  EXPECT_TRUE(code_page_to_utf16(long_text, 1251) == std::u16string(5000, u'Ц'));
}

TEST(CodePage, ConvertsBetweenByteEncodings) {
  EXPECT_EQ(platform::convert_code_page("\xCF\xF0\xE8\xE2\xE5\xF2", 1251, platform::kCodePageUtf8),
            "Привет");
  EXPECT_EQ(platform::convert_code_page("Привет", platform::kCodePageUtf8, 1251),
            "\xCF\xF0\xE8\xE2\xE5\xF2");
}

}  // namespace
