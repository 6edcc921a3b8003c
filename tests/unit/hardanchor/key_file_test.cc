#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <iterator>

#include "engines/hardanchor.h"
#include "fake_machine.h"

namespace {

// Stands for a secret key document: the reader never looks inside it.
const std::string kDocument =
    "\r\n-----BEGIN NM-----\r\nVersion: 1\r\nName1: Test User\r\n0123456789abcdef\r\n"
    "-----END SIGNATURE-----\r\n";

std::string text_of(const KeyText& text) {
  return text ? std::string(text.data(), text.length()) : std::string("<null>");
}

class KeyFileTest : public ::testing::Test {
 protected:
  FakeMachine machine = FakeMachine::typical();
  TempDir dir;
  std::string path = dir.file("secret.key");

  void anchor(const std::string& document) {
    write_file(path, document);
    ASSERT_EQ(AnchorKeyFile(machine, path.c_str()), 0);
  }
};

TEST_F(KeyFileTest, PlainFilePassesThroughByteForByte) {
  const std::string contents = kDocument + std::string("\0tail\xff", 6);
  write_file(path, contents);
  KeyHardAnchor reader(machine);
  const KeyText text = reader.ReadKeyText(path.c_str());
  EXPECT_EQ(text_of(text), contents);
  EXPECT_EQ(text.data()[text.length()], '\0');
  EXPECT_EQ(reader.anchored(), 0);
  EXPECT_EQ(reader.message(), "");
}

TEST_F(KeyFileTest, AnchoredFileGivesTheDocumentBackOnTheSameMachine) {
  anchor(kDocument);
  const std::string file = read_file(path);
  EXPECT_EQ(file.rfind("HARDANCHOR\n", 0), 0u);
  EXPECT_EQ(file.find(kDocument.substr(3, 10)), std::string::npos);
  if (test_support::kPosixFileModes) {
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }

  KeyHardAnchor reader(machine);
  EXPECT_EQ(text_of(reader.ReadKeyText(path.c_str())), kDocument);
  EXPECT_EQ(reader.anchored(), 1);

  // The plain reader of the next file resets the flag.
  write_file(dir.file("plain.key"), kDocument);
  reader.ReadKeyText(dir.file("plain.key").c_str());
  EXPECT_EQ(reader.anchored(), 0);
}

TEST_F(KeyFileTest, OneCharacterOfAnotherFingerprintGivesOtherText) {
  anchor(kDocument);
  struct Change {
    const char* what;
    void (*apply)(FakeMachine&);
  } changes[] = {
      {"volume serial", [](FakeMachine& m) { *m.serial += 1; }},
      {"drive serial", [](FakeMachine& m) { m.drive_list[0].serial.back() = '2'; }},
      {"processor id", [](FakeMachine& m) { m.processor_list[0].processor_id[0] = 'C'; }},
      {"no drive", [](FakeMachine& m) { m.drive_list.clear(); }},
  };
  for (const auto& change : changes) {
    FakeMachine other = machine;
    change.apply(other);
    KeyHardAnchor reader(other);
    const KeyText text = reader.ReadKeyText(path.c_str());
    ASSERT_TRUE(text) << change.what;
    EXPECT_EQ(reader.anchored(), 1);
    EXPECT_EQ(std::string(text.data(), text.length()).find("-----BEGIN"), std::string::npos)
        << change.what;
  }
}

TEST_F(KeyFileTest, MarkerLineMayCarryMoreTextAndLinesAfterTheHexAreIgnored) {
  anchor(kDocument);
  std::string file = read_file(path);
  file.replace(0, std::strlen("HARDANCHOR\n"), "HARDANCHOR v2 for this machine\r\n");
  file += "comment line\nanother\n";
  write_file(path, file);
  KeyHardAnchor reader(machine);
  EXPECT_EQ(text_of(reader.ReadKeyText(path.c_str())), kDocument);
  EXPECT_EQ(reader.anchored(), 1);

  // Without a line feed after the hex text it runs to the end of the file.
  file = read_file(path);
  write_file(path, file.substr(0, file.find('\n', file.find('\n') + 1)));
  EXPECT_EQ(text_of(reader.ReadKeyText(path.c_str())), kDocument);
}

// An odd hex line: the last character is read together with the terminating
// NUL, that is as the value of its own digit, and only length / 2 bytes
// count. With cipher text whose last byte is below 0x10 ("0X"), writing that
// byte as "X" alone must give the same document.
TEST_F(KeyFileTest, OddHexLineReadsItsLastCharacterWithTheNul) {
  const std::string document = kDocument + "abc";  // leaves padding in the last block
  ASSERT_NE(document.size() % 8, 0u);
  std::string anchored;
  for (uint64_t serial = 1; serial < 2000; ++serial) {
    machine.serial = serial;
    anchored = AnchoredFileText(machine, document.data(), document.size());
    if (anchored[anchored.size() - 3] == '0') break;  // "...0X\n"
  }
  ASSERT_EQ(anchored[anchored.size() - 3], '0');
  anchored.erase(anchored.size() - 3, 1);
  write_file(path, anchored);
  KeyHardAnchor reader(machine);
  EXPECT_EQ(text_of(reader.ReadKeyText(path.c_str())), document);

  // The same digit read as a high nibble would change the last block.
  std::string shifted = anchored;
  shifted.insert(shifted.size() - 1, "0");
  shifted.erase(shifted.size() - 4, 1);
  write_file(path, shifted);
  EXPECT_NE(text_of(reader.ReadKeyText(path.c_str())), document);
}

TEST_F(KeyFileTest, FilesThatGiveNoText) {
  KeyHardAnchor reader(machine);
  write_file(path, "");
  EXPECT_FALSE(reader.ReadKeyText(path.c_str()));
  EXPECT_EQ(reader.message(), "RawGetFile: file \"" + path + "\" is empty.");
  EXPECT_EQ(reader.anchored(), 0);

  const std::string missing = dir.file("missing.key");
  EXPECT_FALSE(reader.ReadKeyText(missing.c_str()));
  EXPECT_EQ(reader.message(), "RawGetFile: error open file \"" + missing + "\" for read. errorno:2");

  EXPECT_FALSE(reader.ReadKeyText(dir.path().c_str()));
#ifdef _WIN32
  // Windows refuses to open a directory as a file.
  EXPECT_EQ(reader.message(), "RawGetFile: error open file \"" + dir.path() + "\" for read. errorno:13");
#else
  // A directory opens but cannot be read.
  EXPECT_EQ(reader.message(), "RawGetFile: error read file \"" + dir.path() + "\"");
#endif

  // Nothing that large is a key file.
  write_file(path, std::string(kMaxKeyFileSize + 1, 'k'));
  EXPECT_FALSE(reader.ReadKeyText(path.c_str()));
  EXPECT_EQ(reader.message(), "RawGetFile: error read file \"" + path + "\"");

  // The marker line never ends: there is no cipher text to read.
  for (const char* contents : {"HARDANCHOR", "HARDANCHOR 0123abcd", "HARD"}) {
    write_file(path, contents);
    EXPECT_FALSE(reader.ReadKeyText(path.c_str())) << contents;
    EXPECT_EQ(reader.anchored(), 1) << contents;
    EXPECT_EQ(reader.message(), "") << contents;
  }
}

TEST_F(KeyFileTest, NoFingerprintGivesAnEmptyText) {
  anchor(kDocument);
  FakeMachine huge;
  huge.processor_list.push_back({std::string(1100, 'x'), ""});
  KeyHardAnchor reader(huge);
  const KeyText text = reader.ReadKeyText(path.c_str());
  ASSERT_TRUE(text);
  EXPECT_EQ(text.length(), 0u);
  EXPECT_EQ(reader.anchored(), 1);

  write_file(path, kDocument);
  EXPECT_EQ(AnchorKeyFile(huge, path.c_str()), CORE_E_ENCRYPT);
  EXPECT_EQ(read_file(path), kDocument);
}

TEST_F(KeyFileTest, AnchoringRefusesWhatItCannotAnchorAndLeavesTheFile) {
  EXPECT_EQ(AnchorKeyFile(machine, dir.file("missing.key").c_str()), CORE_E_FILE_NOT_FOUND);
  write_file(path, "");
  EXPECT_EQ(AnchorKeyFile(machine, path.c_str()), CORE_E_FILE_NOT_FOUND);

  anchor(kDocument);
  const std::string once = read_file(path);
  EXPECT_EQ(AnchorKeyFile(machine, path.c_str()), CORE_E_FORMAT);
  EXPECT_EQ(read_file(path), once);

  write_file(path, std::string("\0abc", 4));
  EXPECT_EQ(AnchorKeyFile(machine, path.c_str()), CORE_E_FORMAT);

  // A directory that cannot be written keeps its file as it was (a folder's
  // mode bits are what keeps writers out on Linux; Windows has ACLs instead).
  write_file(path, kDocument);
  if (test_support::kPosixFileModes) {
    ASSERT_EQ(::chmod(dir.path().c_str(), 0500), 0);
    if (::access(dir.path().c_str(), W_OK) != 0) {  // root may write anyway
      EXPECT_EQ(AnchorKeyFile(machine, path.c_str()), CORE_E_WRITE_FILE);
      EXPECT_EQ(read_file(path), kDocument);
    }
    ::chmod(dir.path().c_str(), 0700);
  }
  // No temporary file is left behind.
  EXPECT_EQ(AnchorKeyFile(machine, path.c_str()), 0);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

TEST(DecryptAnchored, NonHexPairsReadAsTheirValidPrefix) {
  // strtol reads "g1" as 0, "1g" as 1, " 5" as 5 and "-1" as -1 (0xff): a
  // writer of ours never produces them, but the reader must decode them the
  // same way everywhere, so cipher texts that differ only there decrypt alike.
  FakeMachine m = FakeMachine::typical();
  char a[32], b[32];
  const int la = DecryptAnchored(m, "g11g 5-100000000", 16, a);
  const int lb = DecryptAnchored(m, "000105ff00000000", 16, b);
  ASSERT_GT(la, 0);
  ASSERT_EQ(la, lb);
  EXPECT_EQ(std::memcmp(a, b, static_cast<size_t>(la)), 0);
}

}  // namespace
