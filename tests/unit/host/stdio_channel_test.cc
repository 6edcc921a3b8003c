// The channel on its own, over temporary files standing in for the pipes.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "host/stdio_channel.h"

namespace {

struct TempFile {
  FILE* file = std::tmpfile();
  ~TempFile() {
    if (file) std::fclose(file);
  }
  QByteArray contents() const {
    std::rewind(file);
    QByteArray bytes;
    char chunk[256];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.append(chunk, static_cast<int>(got));
    return bytes;
  }
};

TEST(StdioChannel, FailedInputObjectReadsNothing) {
  TempFile in, out;
  ASSERT_TRUE(in.file && out.file);
  std::fwrite("\x07\0\0\0{\"a\":1}", 1, 11, in.file);
  std::rewind(in.file);
  std::istringstream failed;
  failed.setstate(std::ios::failbit);

  StdioChannel channel(in.file, out.file, failed);
  EXPECT_EQ(channel.readRequest(), 0u);
  EXPECT_EQ(channel.state(), StdioChannel::kInputFailed);
  EXPECT_EQ(std::ftell(in.file), 0) << "nothing may be read from a failed input";
}

TEST(StdioChannel, ReadsOneFrameAndWritesOne) {
  TempFile in, out;
  ASSERT_TRUE(in.file && out.file);
  std::fwrite("\x07\0\0\0{\"a\":1}\x03\0\0\0[1]", 1, 18, in.file);
  std::rewind(in.file);
  std::istringstream good;

  StdioChannel channel(in.file, out.file, good);
  ASSERT_EQ(channel.readRequest(), 7u);
  EXPECT_EQ(channel.buffer(), QByteArray("{\"a\":1}"));
  EXPECT_EQ(std::ftell(in.file), 11) << "the next frame is not touched";

  channel.setResponse(QByteArray());
  EXPECT_EQ(channel.writeResponse(), 0u);
  EXPECT_EQ(channel.state(), StdioChannel::kEmptyResponse);
  EXPECT_TRUE(out.contents().isEmpty());

  const QByteArray response("{\"x\":\"\n\x1a\"}0123456789abcd", 25);
  channel.setResponse(response);
  EXPECT_EQ(channel.state(), StdioChannel::kOk);
  EXPECT_EQ(channel.writeResponse(), 25u);
  EXPECT_EQ(out.contents(), QByteArray("\x19\0\0\0", 4) + response);
}

}  // namespace
