#include "platform/file_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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
  const std::string fifo = dir_.dir() + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    const char* what;
    std::string path;
    int error;
  } cases[] = {
      {"missing file", dir_.dir() + "/missing", ENOENT},
      {"directory", dir_.dir(), EISDIR},
      {"FIFO with no writer", fifo, EINVAL},  // must not wait for a writer
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
  const std::string path = Write("data.bin", "abc");
  FileReader first, second, shared;
  ASSERT_TRUE(first.Open(path, true));
  EXPECT_FALSE(second.Open(path, true));
  EXPECT_EQ(second.last_error(), EWOULDBLOCK);
  EXPECT_TRUE(shared.Open(path, false));
  first.Close();
  EXPECT_TRUE(second.Open(path, true));
}

}  // namespace
