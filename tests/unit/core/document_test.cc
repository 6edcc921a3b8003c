#include "core/document.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/core.h"

namespace {

// The record points at data and signature: pass texts that outlive it.
DocumentRecord make_record(const char* name1, uint32_t serial1, const char* data, const char* signature) {
  DocumentRecord doc{};
  doc.version = 1;
  std::memcpy(doc.type, "SM", 3);
  std::snprintf(doc.name1, sizeof doc.name1, "%s", name1);
  doc.serial1 = serial1;
  doc.data = data;
  doc.data_length = static_cast<int>(std::strlen(data));
  doc.plain_length = doc.data_length;
  doc.signature = signature;
  doc.signature_length = static_cast<int>(std::strlen(signature));
  return doc;
}

std::string write(const DocumentRecord& doc, int capacity = 4096) {
  std::string out(static_cast<size_t>(capacity), '\xAA');
  const int n = write_document(out.data(), capacity, &doc);
  if (n < 0) return std::string("<").append(std::to_string(n)).append(">");  // not "<" + …: GCC 12 -Wrestrict
  EXPECT_EQ(out[static_cast<size_t>(n)], '\0');
  return out.substr(0, static_cast<size_t>(n));
}

int read(const std::string& text, DocumentRecord* doc) {
  return read_document(text.data(), static_cast<int>(text.size()), doc);
}

constexpr const char* kSignature = "YWJj\r\n=uhx7";

TEST(WriteDocument, Layout) {
  const std::string doc = write(make_record("Test User", 12345, "Hello", kSignature));
  const std::string after_total =
      "01SM000000050000000500000011\r\n"
      "Test User           00012345\r\n"
      "                    00000000\r\n"
      "BEGIN\r\nHello\r\nEND\r\nBEGIN SIGNATURE\r\nYWJj\r\n=uhx7\r\nEND SIGNATURE";
  char total[9];
  std::snprintf(total, sizeof total, "%08zu", after_total.size());  // counts every byte after itself
  EXPECT_EQ(doc, total + after_total);
}

TEST(WriteDocument, LongUserIdIsCutToTwentyCharacters) {
  const std::string doc = write(make_record("ABCDEFGHIJKLMNOPQRSTUVW", 7, "x", ""));
  EXPECT_NE(doc.find("\r\nABCDEFGHIJKLMNOPQRST00000007\r\n"), std::string::npos) << doc;
  // An empty signature block leaves just the line break before its keyword.
  EXPECT_NE(doc.find("BEGIN SIGNATURE\r\n\r\nEND SIGNATURE"), std::string::npos);
}

TEST(WriteDocument, FailsWhenItDoesNotFit) {
  const auto record = make_record("Test User", 1, "Hello", kSignature);
  const std::string doc = write(record);
  EXPECT_EQ(write(record, static_cast<int>(doc.size()) + 1), doc);  // room for the NUL too
  EXPECT_EQ(write(record, static_cast<int>(doc.size())), "<-2>");
  EXPECT_EQ(write(record, 20), "<-2>");
  EXPECT_EQ(write_document(nullptr, 100, &record), CORE_E_ARGS);
  char out[8];
  EXPECT_EQ(write_document(out, sizeof out, nullptr), CORE_E_ARGS);
}

TEST(WriteDocument, RefusesFieldsTheFixedWidthsCannotHold) {
  // Each would give a document that its own reader rejects.
  auto too_big_serial = make_record("A", 100000000, "x", "");
  auto name_with_break = make_record("A\r\nB", 1, "x", "");
  auto short_type = make_record("A", 1, "x", "");
  short_type.type[1] = '\0';
  auto absent_data = make_record("A", 1, "x", "");
  absent_data.data = nullptr;
  for (const auto* record : {&too_big_serial, &name_with_break, &short_type, &absent_data})
    EXPECT_EQ(write(*record), "<-1>");
}

TEST(ReadDocument, RoundTrip) {
  const std::string data = "line one\r\nEND\r\nBEGIN SIGNATURE\r\nend";  // keywords inside the block
  auto written = make_record("Test User", 12345, data.c_str(), kSignature);
  std::strcpy(written.name2, "Certifier");
  written.serial2 = 99;
  std::memcpy(written.type, "NS", 3);
  written.plain_length = 77;
  const std::string text = write(written);
  for (const std::string& lead : {std::string(), std::string("\r\n\r\n\r\n"), std::string(" \t\n")}) {
    DocumentRecord doc{};
    const std::string input = lead + text;
    ASSERT_EQ(read(input, &doc), static_cast<int>(input.size())) << lead.size();
    EXPECT_EQ(doc.version, 1);
    EXPECT_STREQ(doc.type, "NS");
    EXPECT_STREQ(doc.name1, "Test User");
    EXPECT_EQ(doc.serial1, 12345u);
    EXPECT_STREQ(doc.name2, "Certifier");
    EXPECT_EQ(doc.serial2, 99u);
    EXPECT_EQ(doc.plain_length, 77);
    EXPECT_EQ(std::string(doc.data, static_cast<size_t>(doc.data_length)), data);
    EXPECT_EQ(doc.data, input.data() + input.find("line one"));
    EXPECT_EQ(std::string(doc.signature, static_cast<size_t>(doc.signature_length)), kSignature);
  }
  // A NUL-terminated text is measured by the reader.
  DocumentRecord doc{};
  EXPECT_EQ(read_document(text.c_str(), -1, &doc), static_cast<int>(text.size()));
}

TEST(ReadDocument, LastLineMayCarryMoreText) {
  const std::string text = write(make_record("A", 1, "Hello", kSignature));
  DocumentRecord doc{};
  EXPECT_EQ(read(text + " and more\r\nnext", &doc), static_cast<int>(text.size() + 11));
  EXPECT_EQ(read(text + "\r\n", &doc), static_cast<int>(text.size() + 2));
  EXPECT_EQ(read(text, &doc), static_cast<int>(text.size()));  // no break after the last keyword
}

TEST(ReadDocument, MalformedDocumentsAreFormatErrors) {
  const std::string good = write(make_record("Test User", 12345, "Hello", kSignature));
  const auto replace = [&](const std::string& from, const std::string& to) {
    std::string s = good;
    s.replace(s.find(from), from.size(), to);
    return s;
  };
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"header of 35", good.substr(0, 35) + good.substr(36)},
      {"header of 37", good.substr(0, 36) + "0" + good.substr(36)},
      {"letter in data length", replace("SM00000005", "SM0000000x")},
      {"zero data length", replace("SM00000005", "SM00000000")},
      {"zero total", "00000000" + good.substr(8)},
      {"name line of 27", replace("Test User           ", "Test User          ")},
      {"no BEGIN", replace("BEGIN\r\n", "BEGIn\r\n")},
      {"no break after data", replace("Hello\r\nEND", "HelloX\r\nEND")},
      {"no END", replace("\r\nEND\r\n", "\r\nEnd\r\n")},
      {"signature longer than input", replace("00000011\r\n", "00000999\r\n")},
      {"signature swallows its break", replace("00000011\r\n", "00000013\r\n")},
      {"no END SIGNATURE", replace("END SIGNATURE", "END SIGNATUR")},
      {"cut before last line", good.substr(0, good.size() - 13)},
      {"data length past input", replace("SM00000005", "SM99999999")},
      {"blank only", " \r\n\t"},
      {"NUL in a line", replace("BEGIN\r\n", std::string("BE\0IN\r\n", 7))},
  };
  for (const auto& c : cases) {
    DocumentRecord doc{};
    doc.serial1 = 4242;
    EXPECT_EQ(read(c.text, &doc), CORE_E_FORMAT) << c.name;
    EXPECT_EQ(doc.serial1, 4242u) << c.name;  // a failed read leaves the record alone
  }
}

TEST(ReadDocument, EmptyAndAbsentInput) {
  DocumentRecord doc{};
  EXPECT_EQ(read_document("x", 0, &doc), 0);
  EXPECT_EQ(read_document(nullptr, 0, &doc), 0);
  EXPECT_EQ(read_document(nullptr, 5, &doc), CORE_E_ARGS);
  EXPECT_EQ(read_document("x", 1, nullptr), CORE_E_ARGS);
}

}  // namespace
