#include "platform/mapped_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <string>

#include "tests/unit/support/temp_config_home.h"

namespace {

using platform::MappedFile;

class MappedFileTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& content) {
    const std::string path = dir_.dir() + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  TempConfigHome dir_;  // a temporary directory
};

TEST_F(MappedFileTest, MapsTheWholeFileOrAnUnalignedPart) {
  std::string content(10000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
  const std::string path = Write("data.bin", content);
  MappedFile whole;
  ASSERT_TRUE(whole.Open(path, true, false));
  EXPECT_EQ(whole.file_size(), 10000u);
  ASSERT_EQ(whole.size(), 10000u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(whole.data()), whole.size()), content);
  MappedFile part;
  ASSERT_TRUE(part.Open(path, true, false, 4097, 100));
  ASSERT_EQ(part.size(), 100u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(part.data()), 100), content.substr(4097, 100));
  MappedFile tail;
  ASSERT_TRUE(tail.Open(path, true, false, 9990));
  EXPECT_EQ(tail.size(), 10u);
}

TEST_F(MappedFileTest, RefusesWhatCannotBeMapped) {
  const std::string data = Write("data.bin", "abc");
  const struct {
    const char* what;
    std::string path;
    uint64_t offset, length;
    platform::MapError error;
  } cases[] = {
      {"missing file", dir_.dir() + "/missing", 0, 0, platform::MapError::kNotFound},
      {"empty file", Write("empty.bin", ""), 0, 0, platform::MapError::kInvalid},
      {"directory", dir_.dir(), 0, 0, platform::MapError::kInvalid},
      {"offset past the end", data, 3, 0, platform::MapError::kInvalid},
      {"length past the end", data, 1, 3, platform::MapError::kInvalid},
  };
  for (const auto& c : cases) {
    MappedFile file;
    EXPECT_FALSE(file.Open(c.path, true, false, c.offset, c.length)) << c.what;
    EXPECT_FALSE(file.is_open()) << c.what;
    EXPECT_EQ(file.last_error(), c.error) << c.what;
  }
}

TEST_F(MappedFileTest, ExclusiveOpenKeepsOthersOutUntilClosed) {
  const std::string path = Write("data.bin", "abc");
  MappedFile first, second;
  ASSERT_TRUE(first.Open(path, true, true));
  EXPECT_FALSE(second.Open(path, true, true));
  EXPECT_EQ(second.last_error(), platform::MapError::kInUse);
  first.Close();
  EXPECT_TRUE(second.Open(path, true, true));
}

TEST_F(MappedFileTest, ReadWriteMappingWritesThrough) {
  const std::string path = Write("data.bin", "hello");
  {
    MappedFile file;
    ASSERT_TRUE(file.Open(path, false, false));
    file.data()[0] = 'j';
  }
  std::ifstream in(path);
  std::string back;
  in >> back;
  EXPECT_EQ(back, "jello");
}

}  // namespace
