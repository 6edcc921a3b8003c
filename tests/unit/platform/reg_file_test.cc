#include "platform/reg_file.h"

#include <gtest/gtest.h>

namespace {

using namespace platform;

constexpr std::string_view kRoot = "HKEY_CURRENT_USER";
const std::string kHead = "Windows Registry Editor Version 5.00\r\n\r\n";

std::string value_of(const ParsedHive& parsed, const char* key, const char* name) {
  const RegKeyData* k = parsed.hive.find(key);
  if (k == nullptr) return "<no key>";
  const RegValueData* v = k->find(name);
  return v == nullptr ? "<no value>" : std::to_string(v->type) + ":" + v->data;
}

TEST(RegFile, ReadsTheExportForms) {
  const std::string text = kHead +
                           "[HKEY_CURRENT_USER\\A]\n"
                           "@=\"def \\\"q\\\" \\\\\"\n"
                           "\"d\"=dword:0000002a\n"
                           "\"b\"=hex:00,ff,\\\n"
                           "  10\n"
                           "\"x\"=hex(2):41,00\n"
                           "\"e\\x0a\"=hex(0):\n"
                           "\"gone\"=hex:01\n"
                           "\"gone\"=-\n"
                           "; comment\n"
                           "[-HKEY_CURRENT_USER\\B]\n"
                           "[hkey_current_user\\A\\Sub]\n";
  const ParsedHive parsed = parse_reg_file(text, kRoot);
  EXPECT_FALSE(parsed.damaged);
  EXPECT_EQ(value_of(parsed, "a", ""), std::string("1:def \"q\" \\\0", 12));
  EXPECT_EQ(value_of(parsed, "A", "D"), std::string("4:\x2a\0\0\0", 6));
  EXPECT_EQ(value_of(parsed, "A", "b"), std::string("3:\0\xff\x10", 5));
  EXPECT_EQ(value_of(parsed, "A", "x"), std::string("2:A\0", 4));
  EXPECT_EQ(value_of(parsed, "A", "e\n"), "0:");
  EXPECT_EQ(value_of(parsed, "A", "gone"), "<no value>");
  EXPECT_NE(parsed.hive.find("A\\SUB"), nullptr);
}

TEST(RegFile, DamagedLinesAreLeftOutAndTheRestKept) {
  struct Case {
    const char* what;
    std::string text;
  };
  const Case cases[] = {
      {"no header", "[HKEY_CURRENT_USER\\A]\r\n\"ok\"=dword:00000001\r\n"},
      {"bad dword", kHead + "[HKEY_CURRENT_USER\\A]\r\n\"ok\"=dword:00000001\r\n\"bad\"=dword:xyz\r\n"},
      {"odd hex", kHead + "[HKEY_CURRENT_USER\\A]\r\n\"ok\"=dword:00000001\r\n\"bad\"=hex:0\r\n"},
      {"unterminated name", kHead + "[HKEY_CURRENT_USER\\A]\r\n\"ok\"=dword:00000001\r\n\"bad=hex:00\r\n"},
      {"other hive", kHead + "[HKEY_CURRENT_USER\\A]\r\n\"ok\"=dword:00000001\r\n[HKEY_LOCAL_MACHINE\\X]\r\n\"bad\"=hex:00\r\n"},
      {"value before a key", kHead + "\"bad\"=hex:00\r\n[HKEY_CURRENT_USER\\A]\r\n\"ok\"=dword:00000001\r\n"},
      {"last line cut", kHead + "[HKEY_CURRENT_USER\\A]\r\n\"ok\"=dword:00000001\r\n\"bad\"=hex(1):54,6"},
      {"last line cut after a comma", kHead + "[HKEY_CURRENT_USER\\A]\r\n\"ok\"=dword:00000001\r\n\"bad\"=hex(1):54,"},
      // Without a line break, a hex list's end cannot show it whole, nor a dword's with a digit cut off.
      {"last hex list", kHead + "[HKEY_CURRENT_USER\\A]\r\n\"ok\"=dword:00000001\r\n\"bad\"=hex(1):54,6f"},
      {"last dword cut", kHead + "[HKEY_CURRENT_USER\\A]\r\n\"ok\"=dword:00000001\r\n\"bad\"=dword:0000000"},
      {"last string cut", kHead + "[HKEY_CURRENT_USER\\A]\r\n\"ok\"=dword:00000001\r\n\"bad\"=\"a\\\""},
      {"continuation cut", kHead + "[HKEY_CURRENT_USER\\A]\r\n\"ok\"=dword:00000001\r\n\"bad\"=hex:00,\\\r\n"},
      {"binary junk", kHead + "[HKEY_CURRENT_USER\\A]\r\n\"ok\"=dword:00000001\r\n\x01\x02\xff\r\n"},
  };
  for (const auto& c : cases) {
    const ParsedHive parsed = parse_reg_file(c.text, kRoot);
    EXPECT_TRUE(parsed.damaged) << c.what;
    EXPECT_EQ(value_of(parsed, "A", "ok"), std::string("4:\x01\0\0\0", 6)) << c.what;
    EXPECT_EQ(value_of(parsed, "A", "bad").substr(0, 1), "<") << c.what;
  }
}

// A file written by hand or by another tool may end without a line break.
TEST(RegFile, WholeLastLineWithoutItsLineBreakCounts) {
  struct Case {
    std::string last_line;
    const char* key;
    const char* name;
    std::string expected;
  };
  const Case cases[] = {
      {"\"last\"=\"To \\\"be\\\"\"", "A", "last", std::string("1:To \"be\"\0", 10)},
      {"\"last\"=dword:00000002", "A", "last", std::string("4:\x02\0\0\0", 6)},
      {"[HKEY_CURRENT_USER\\A\\B]", "A\\B", "", "<no value>"},
      {"\"gone\"=-", "A", "gone", "<no value>"},
  };
  for (const Case& c : cases) {
    const ParsedHive parsed =
        parse_reg_file(kHead + "[HKEY_CURRENT_USER\\A]\r\n\"ok\"=dword:00000001\r\n" + c.last_line, kRoot);
    EXPECT_FALSE(parsed.damaged) << c.last_line;
    EXPECT_EQ(value_of(parsed, "A", "ok"), std::string("4:\x01\0\0\0", 6)) << c.last_line;
    EXPECT_EQ(value_of(parsed, c.key, c.name), c.expected) << c.last_line;
  }
}

TEST(RegFile, WrittenFormReadsBackIdentically) {
  HiveData hive;
  RegKeyData& key = hive.create("SoftWare\\VelixCom");
  HiveData::set_value(key, "dword", 4, std::string("\x01\x02\x03\x04", 4));
  HiveData::set_value(key, "", 1, std::string("default\0", 8));
  HiveData::set_value(key, "name \"with\" \\ and \r\n", 3, std::string(100, '\0'));
  HiveData::set_value(key, "big type", 0xFFFFFFFF, "x");
  hive.create("SoftWare\\VelixCom\\Keys");
  const std::string text = format_reg_file(hive, kRoot);
  const ParsedHive parsed = parse_reg_file(text, kRoot);
  EXPECT_FALSE(parsed.damaged);
  EXPECT_TRUE(parsed.hive == hive);
  EXPECT_TRUE(text.ends_with("\r\n\r\n"));
}

}  // namespace
