#include "ui/visible_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(VisibleText, ShowsEveryCharacterThatCouldHideOrReorderText) {
  const struct {
    const char* why;
    std::string text;
    std::string shown;
  } cases[] = {
      {"plain text stays", "Pay 1,000.00 RUB", "Pay 1,000.00 RUB"},
      {"Cyrillic stays", "Оплата 100 руб.", "Оплата 100 руб."},
      {"markup is its source", "<b>Pay</b> &amp; go", "<b>Pay</b> &amp; go"},
      {"LF and CRLF are line breaks", "one\ntwo\r\nthree", "one\ntwo\nthree"},
      {"a lone CR is no line break", "100\r000", "100[U+000D]000"},
      {"CR CR LF: the first CR shows", "a\r\r\nb", "a[U+000D]\nb"},
      {"tab, ESC, NUL, DEL", std::string("a\tb\x1b[8mc\0d\x7f", 11), "a[U+0009]b[U+001B][8mc[U+0000]d[U+007F]"},
      {"C1 control", "a\xc2\x85" "b", "a[U+0085]b"},
      {"right-to-left override and pop", "x\xe2\x80\xae" "cba\xe2\x80\xac", "x[U+202E]cba[U+202C]"},
      {"marks LRM, RLM, ALM", "\xe2\x80\x8e\xe2\x80\x8f\xd8\x9c", "[U+200E][U+200F][U+061C]"},
      {"embeddings", "\xe2\x80\xaa\xe2\x80\xab\xe2\x80\xad", "[U+202A][U+202B][U+202D]"},
      {"isolates", "\xe2\x81\xa6\xe2\x81\xa7\xe2\x81\xa8\xe2\x81\xa9", "[U+2066][U+2067][U+2068][U+2069]"},
      {"zero-width and BOM", "a\xe2\x80\x8b" "b\xef\xbb\xbf" "c", "a[U+200B]b[U+FEFF]c"},
      {"line separator is no line break", "a\xe2\x80\xa8" "b", "a[U+2028]b"},
      {"soft hyphen", "pay\xc2\xad" "ment", "pay[U+00AD]ment"},
      {"tag characters", "a\xf3\xa0\x80\x81", "a[U+E0001]"},
      {"a literal escape cannot pass for one", "[U+202E] and [x]", "[U+005B]U+202E] and [x]"},
      {"a bracket elsewhere stays", "[U] [u+1] [", "[U] [u+1] ["},
      {"bytes that are not UTF-8", "a\xff" "b\xc3", "a[U+DCFF]b[U+DCC3]"},
      {"an overlong form is not UTF-8", "\xc0\xaf", "[U+DCC0][U+DCAF]"},
      {"an encoded surrogate is not UTF-8", "\xed\xa0\x80", "[U+DCED][U+DCA0][U+DC80]"},
      {"emoji stay", "\xf0\x9f\x99\x82", "\xf0\x9f\x99\x82"},
  };
  for (const auto& c : cases) EXPECT_EQ(ui::VisibleText(c.text), c.shown) << c.why;
}

TEST(VisibleText, LongTextKeepsEveryLine) {
  std::string text, shown;
  for (int i = 0; i < 200; ++i) {
    text += "line " + std::to_string(i) + "\r\n";
    shown += "line " + std::to_string(i) + "\n";
  }
  EXPECT_EQ(ui::VisibleText(text), shown);
}

}  // namespace
