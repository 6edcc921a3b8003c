#include <gtest/gtest.h>

#include <cstring>

#include "tests/unit/ui/ui_test_util.h"
#include "ui/input_stream.h"
#include "ui/key_file_id.h"

using namespace ui;

TEST(ReadKeyFileId, TakesTheUserIdFromTheNameLine) {
  ui_test::TempDir dir;
  const std::string header36(36, 'H');
  const struct { const char* name; std::string content; std::string expected; } cases[] = {
      {"crlf", ui_test::KeyFileText("IVANOV", "\r\n"), "IVANOV"},
      {"lf", ui_test::KeyFileText("IVANOV", "\n"), "IVANOV"},
      {"full_width_id", header36 + "\n" + "ABCDEFGHIJKLMNOPQRST00012345\n", "ABCDEFGHIJKLMNOPQRST"},
      {"space_inside_id", header36 + "\n" + "PETR PETROV         00012345\n", "PETR"},
      {"header_35", std::string(35, 'H') + "\nIVANOV              00012345\n", ""},
      {"header_37", std::string(37, 'H') + "\nIVANOV              00012345\n", ""},
      {"name_line_27", header36 + "\nIVANOV              0001234\n", ""},
      {"name_line_29", header36 + "\nIVANOV              000123456\n", ""},
      {"name_line_without_lf", header36 + "\nIVANOV              00012345", ""},
      {"not_a_key_file", "just some text\n", ""},
      {"empty", "", ""},
      {"long_first_line", std::string(600, 'x') + "\nIVANOV              00012345\n", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadKeyFileId(dir.Write(c.name, c.content)), c.expected) << c.name;
  }
  EXPECT_EQ(ReadKeyFileId(dir.Path("missing.key")), "");
  EXPECT_EQ(ReadKeyFileId(dir.Path("")), "");  // a directory
}

namespace {

// Hands out its text a few bytes per Read, to cross the buffer refills.
class TrickleStream : public CInputStream {
 public:
  TrickleStream(std::string text, int step) : text_(std::move(text)), step_(step) {}
  int Read(char* destination, int count) override {
    const int n = std::min({count, step_, static_cast<int>(text_.size() - at_)});
    std::memcpy(destination, text_.data() + at_, n);
    at_ += n;
    return n;
  }

 private:
  std::string text_;
  int step_;
  size_t at_ = 0;
};

}  // namespace

TEST(CInputStream, ReadsLinesAcrossRefillsDroppingCrAndExcess) {
  for (int step : {1, 3, 1024}) {
    TrickleStream stream("one\r\ntw\ro\r\n\nlonger line\nlast without lf", step);
    char line[8];
    EXPECT_EQ(stream.ReadLine(line, sizeof line), 3);
    EXPECT_STREQ(line, "one");
    EXPECT_EQ(stream.ReadLine(line, sizeof line), 3);  // a CR is dropped wherever it stands
    EXPECT_STREQ(line, "two");
    EXPECT_EQ(stream.ReadLine(line, sizeof line), 0);
    EXPECT_STREQ(line, "");
    EXPECT_EQ(stream.ReadLine(line, sizeof line), 7);  // capacity - 1 characters kept
    EXPECT_STREQ(line, "longer ");
    EXPECT_EQ(stream.ReadLine(line, sizeof line), -1);  // a last line without LF
  }
}

TEST(CInputStream, RefusesUnusableDestinations) {
  TrickleStream stream("a\n", 10);
  char line[4];
  EXPECT_EQ(stream.ReadLine(nullptr, 4), -1);
  EXPECT_EQ(stream.ReadLine(line, 0), -1);
  EXPECT_EQ(stream.ReadLine(line, -5), -1);
  EXPECT_EQ(stream.ReadLine(line, 1), 0);  // room for the NUL only
  EXPECT_STREQ(line, "");
  CInputStream no_source;
  EXPECT_EQ(no_source.ReadLine(line, sizeof line), -1);
}

TEST(CInputStream, FailsOnALineLongerThanItsBuffer) {
  TrickleStream stream(std::string(2000, 'x') + "\nnext\n", 100);
  char line[16];
  EXPECT_EQ(stream.ReadLine(line, sizeof line), -1);
}

TEST(CInputFileStream, ReopeningClosesTheFirstFile) {
  ui_test::TempDir dir;
  CInputFileStream stream;
  EXPECT_FALSE(stream.Open(dir.Path("none")));
  ASSERT_TRUE(stream.Open(dir.Write("a", "first\n")));
  ASSERT_TRUE(stream.Open(dir.Write("b", "second\n")));
  char line[16];
  EXPECT_EQ(stream.ReadLine(line, sizeof line), 6);
  EXPECT_STREQ(line, "second");
}
