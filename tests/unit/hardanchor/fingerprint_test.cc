#include <gtest/gtest.h>

#include <cstring>

#include "engines/hardanchor.h"
#include "fake_machine.h"

namespace {

// IDENTIFY data as a drive sends it: text fields with the first character
// of each pair in the high byte of the little-endian word.
struct Identify {
  uint8_t bytes[platform::kAtaIdentifySize] = {};
  void word(size_t w, uint16_t value) {
    bytes[2 * w] = static_cast<uint8_t>(value);
    bytes[2 * w + 1] = static_cast<uint8_t>(value >> 8);
  }
  void text(size_t first_word, size_t words, const std::string& s) {
    std::string padded = s;
    padded.resize(2 * words, ' ');
    for (size_t i = 0; i < words; ++i)
      word(first_word + i, static_cast<uint16_t>(static_cast<uint8_t>(padded[2 * i]) << 8 |
                                                 static_cast<uint8_t>(padded[2 * i + 1])));
  }
};

TEST(DriveIdentity, AtaFieldsInTheirOrderWithBlanksDropped) {
  Identify id;
  id.text(27, 20, "ACME SSD 512 G");  // model
  id.text(10, 10, "  S3Z 9NB0K");     // serial, with leading blanks
  id.text(23, 4, "RVT0 2B6");         // firmware revision
  id.word(21, 0x100);                 // buffer size in 512-byte units
  id.word(0, 0x0040);
  EXPECT_EQ(AtaIdentityText(id.bytes), "ACMESSD512GS3Z9NB0KRVT02B6131072Fixed");

  struct {
    uint16_t config;
    const char* type;
  } types[] = {{0x0080, "Removable"}, {0x00c0, "Removable"}, {0x0040, "Fixed"}, {0x0000, "Unknown"},
               {0x8a00, "Unknown"}};
  for (const auto& t : types) {
    id.word(0, t.config);
    const std::string text = AtaIdentityText(id.bytes);
    EXPECT_EQ(text.substr(text.size() - std::strlen(t.type)), t.type) << t.config;
    EXPECT_EQ(text.find("131072"), 26u) << t.config;
  }
}

TEST(DriveIdentity, TextEndsAtNulAndTrailingWhiteSpaceIsCut) {
  Identify id;
  id.text(27, 20, "Disk\tA\t\t");
  id.text(10, 10, std::string("AB\0CD", 5));
  id.text(23, 4, "1.0");
  id.word(21, 0);
  id.word(0, 0x0080);
  EXPECT_EQ(AtaIdentityText(id.bytes), "Disk\tAAB1.00Removable");
}

TEST(DriveIdentity, SysfsFieldsHaveNoBufferSize) {
  platform::DriveFacts drive;
  drive.model = "QEMU HARDDISK   ";
  drive.serial = " QM00001";
  drive.firmware = "2.5+";
  EXPECT_EQ(DriveIdentityText(drive), "QEMUHARDDISKQM000012.5+0Fixed");
  drive.removable = true;
  drive.firmware.clear();
  EXPECT_EQ(DriveIdentityText(drive), "QEMUHARDDISKQM000010Removable");
}

TEST(Fingerprint, DrivesThenProcessorsThenVolumeSerial) {
  FakeMachine m = FakeMachine::typical();
  platform::DriveFacts usb;
  usb.model = "Flash";
  usb.serial = "77";
  usb.removable = true;
  m.drive_list.push_back(usb);
  m.processor_list.push_back({"AMD64 Family 26 Model 2 Stepping 1", "178BFBFF00B00F21"});
  char buffer[1024];
  const std::string expected =
      "QEMUHARDDISKQM000012.5+0Fixed" "Flash770Removable"
      "AMD64 Family 26 Model 2 Stepping 1178BFBFF00B00F21"
      "AMD64 Family 26 Model 2 Stepping 1178BFBFF00B00F21"
      "6063213599946219640";
  EXPECT_EQ(BuildMachineFingerprint(m, buffer, sizeof buffer), static_cast<int>(expected.size()));
  EXPECT_EQ(std::string(buffer), expected);
}

TEST(Fingerprint, SourcesThatFailContributeNothing) {
  FakeMachine m = FakeMachine::typical();
  m.serial.reset();
  m.processor_list.clear();
  char buffer[1024];
  ASSERT_GT(BuildMachineFingerprint(m, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "QEMUHARDDISKQM000012.5+0Fixed");

  FakeMachine nothing;
  EXPECT_EQ(BuildMachineFingerprint(nothing, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
}

TEST(Fingerprint, TextThatDoesNotFitGivesMinusOneAndAZeroBuffer) {
  FakeMachine m;
  m.processor_list.push_back({std::string(1000, 'd'), std::string(23, 'i')});  // 1023 characters
  char buffer[1024];
  EXPECT_EQ(BuildMachineFingerprint(m, buffer, sizeof buffer), 1023);

  m.serial = 7;  // one more character
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(BuildMachineFingerprint(m, buffer, sizeof buffer), -1);
  for (char c : buffer) ASSERT_EQ(c, '\0');

  EXPECT_EQ(BuildMachineFingerprint(m, nullptr, 1024), -1);
  EXPECT_EQ(BuildMachineFingerprint(m, buffer, 0), -1);
}

std::string this_machine_fingerprint() {
  char buffer[1024];
  const int length = BuildMachineFingerprint(buffer, sizeof buffer);
  return length < 0 ? std::string("<failed>") : std::string(buffer, static_cast<size_t>(length));
}

// With VELIX_FINGERPRINT_OUT set the test program only writes this
// machine's fingerprint there: the second process of the test below.
TEST(Fingerprint, ThisMachineIsStableAcrossCallsAndProcesses) {
  if (const char* out = std::getenv("VELIX_FINGERPRINT_OUT")) {
    write_file(out, this_machine_fingerprint());
    return;
  }
  const std::string first = this_machine_fingerprint();
  ASSERT_NE(first, "<failed>");
  EXPECT_GT(first.size(), 0u);
  EXPECT_LE(first.size(), 1023u);
  EXPECT_EQ(this_machine_fingerprint(), first);

  TempDir dir;
  const std::string out = dir.file("fingerprint");
  ASSERT_EQ(test_support::run_this_program({"--gtest_filter=Fingerprint.ThisMachineIsStableAcrossCallsAndProcesses"},
                                           "VELIX_FINGERPRINT_OUT", out),
            0);
  EXPECT_EQ(read_file(out), first);
}

}  // namespace
