#include "platform/file_reader.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/unit/support/temp_config_home.h"

namespace {

using platform::FileReader;

class FileReaderTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& content) {
    const std::string path = dir_.dir() + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  TempConfigHome dir_;  // a temporary directory
};

TEST_F(FileReaderTest, ReadsAtOffsetsAndSeesTheFileShrink) {
  std::string content(10000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
  const std::string path = Write("data.bin", content);
  FileReader file;
  ASSERT_TRUE(file.Open(path, false));
  EXPECT_EQ(file.size(), 10000u);
  std::string buffer(4096, '\0');
  ASSERT_EQ(file.ReadAt(4097, buffer.data(), 100), 100);
  EXPECT_EQ(buffer.substr(0, 100), content.substr(4097, 100));
  EXPECT_EQ(file.ReadAt(9990, buffer.data(), buffer.size()), 10);  // short only at the end
  EXPECT_EQ(file.ReadAt(10000, buffer.data(), buffer.size()), 0);

  // Cut while open: the size stays what it was, reads past the new end give 0.
  std::filesystem::resize_file(path, 5000);
  EXPECT_EQ(file.size(), 10000u);
  EXPECT_EQ(file.ReadAt(4096, buffer.data(), buffer.size()), 904);
  EXPECT_EQ(file.ReadAt(6000, buffer.data(), buffer.size()), 0);
}

TEST_F(FileReaderTest, RefusesWhatIsNotARegularFileAtOnce) {
#ifdef _WIN32
  const char* device_kind = "the null device";
  const std::string device = "NUL";
#else
  const char* device_kind = "FIFO with no writer";  // must not wait for a writer
  const std::string device = dir_.dir() + "/fifo";
  ASSERT_EQ(mkfifo(device.c_str(), 0600), 0);
#endif
  const struct {
    const char* what;
    std::string path;
    int error;
  } cases[] = {
      {"missing file", dir_.dir() + "/missing", ENOENT},
      {"directory", dir_.dir(), EISDIR},
      {device_kind, device, EINVAL},
  };
  for (const auto& c : cases) {
    FileReader file;
    EXPECT_FALSE(file.Open(c.path, true)) << c.what;
    EXPECT_FALSE(file.is_open()) << c.what;
    EXPECT_EQ(file.last_error(), c.error) << c.what;
  }
  FileReader empty;
  EXPECT_TRUE(empty.Open(Write("empty.bin", ""), false));
  EXPECT_EQ(empty.size(), 0u);
}

TEST_F(FileReaderTest, ExclusiveOpenKeepsOthersOutUntilClosed) {
  VELIX_LINUX_FACT("an exclusive open is an advisory lock that a second exclusive opener meets");
  const std::string path = Write("data.bin", "abc");
  FileReader first, second, shared;
  ASSERT_TRUE(first.Open(path, true));
  EXPECT_FALSE(second.Open(path, true));
  EXPECT_EQ(second.last_error(), EWOULDBLOCK);
  EXPECT_TRUE(shared.Open(path, false));
  first.Close();
  EXPECT_TRUE(second.Open(path, true));
}

#ifdef _WIN32
// On Windows an exclusive open shares the file with readers only.
TEST_F(FileReaderTest, ExclusiveOpenAndWritersKeepEachOtherOut) {
  const std::string path = Write("data.bin", "abc");
  {
    FileReader exclusive, shared;
    ASSERT_TRUE(exclusive.Open(path, true));
    EXPECT_TRUE(shared.Open(path, false));
    EXPECT_FALSE(std::ofstream(path, std::ios::binary | std::ios::app).is_open());
  }
  std::ofstream writer(path, std::ios::binary | std::ios::app);
  ASSERT_TRUE(writer.is_open());
  FileReader exclusive, shared;
  EXPECT_FALSE(exclusive.Open(path, true));
  EXPECT_EQ(exclusive.last_error(), EWOULDBLOCK);
  EXPECT_TRUE(shared.Open(path, false));
}
#endif

}  // namespace
