// The signature journal keeps a line per request, escaped, and its own bound.
#include "signer/signature_journal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST(SignatureJournal, LinesAreEscapedAndCarryTheDigest) {
  JournalEntry entry;
  entry.origin = "https://evil.example\r\nserial=1";
  entry.action = "signMessage";
  entry.serial = 4242;
  entry.digest = TextDigest("abc");
  entry.outcome = "ok";
  EXPECT_EQ(FormatJournalLine(entry, 1765460707),
            "2025-12-11T13:45:07Z site=https://evil.example%0D%0Aserial=1 action=signMessage serial=4242 "
            "sha256=ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad outcome=ok\n");
  JournalEntry local;
  local.outcome = "cancelled";
  EXPECT_EQ(FormatJournalLine(local, 0), "1970-01-01T00:00:00Z site=- action=- serial=- sha256=- outcome=cancelled\n");
}

TEST(SignatureJournal, IsPrivateAndKeepsTheLastEntries) {
  const fs::path home = fs::temp_directory_path() / ("journal_test." + std::to_string(getpid()));
  fs::remove_all(home);
  fs::create_directories(home);
  setenv("XDG_STATE_HOME", (home / "state").c_str(), 1);
  JournalEntry entry;
  entry.action = "signMessage";
  entry.origin = "https://first.example";
  std::string why;
  ASSERT_TRUE(RecordSignatureRequest(entry, &why)) << why;
  const fs::path journal = SignatureJournalPath();
  EXPECT_EQ(journal, home / "state" / "velix" / "journal");
  struct stat status {};
  ASSERT_EQ(stat(journal.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  ASSERT_EQ(stat(journal.parent_path().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0700u);

  // Past its size bound it is cut back to the last entries, the new one last.
  {
    std::ofstream out(journal, std::ios::app);
    for (size_t i = 0; out.tellp() <= std::streamoff(kJournalBytes); ++i)
      out << FormatJournalLine({"https://old" + std::to_string(i) + ".example", "signMessage", 0, "", "ok"}, 0);
  }
  entry.origin = "https://newest.example";
  ASSERT_TRUE(RecordSignatureRequest(entry, &why)) << why;
  std::ifstream in(journal);
  std::string line, first, last;
  size_t lines = 0;
  while (std::getline(in, line)) {
    if (lines++ == 0) first = line;
    last = line;
  }
  EXPECT_EQ(lines, kJournalEntries);
  EXPECT_NE(last.find("site=https://newest.example "), std::string::npos) << last;
  EXPECT_EQ(first.find("site=https://first.example "), std::string::npos) << first;
  EXPECT_NE(first.find("site=https://old"), std::string::npos) << first;
  unsetenv("XDG_STATE_HOME");
  fs::remove_all(home);
}

}  // namespace
