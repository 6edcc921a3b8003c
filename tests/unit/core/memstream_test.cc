#include "core/memstream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Runs one stream step as a codec would and returns its abort code (0 = none).
template <typename Step>
int abort_code(Step&& step) {
  return codec_call([&] {
    step();
    return 0;
  });
}

TEST(MemStream, WriteStopsAtCapacity) {
  uint8_t buffer[10];
  auto out = MemStream::for_writing(buffer, sizeof buffer);
  const uint8_t ten[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_EQ(abort_code([&] { out.write(ten, 10); }), 0);
  EXPECT_EQ(out.position(), 10u);
  EXPECT_EQ(out.end(), 10u);
  EXPECT_EQ(abort_code([&] { out.write_byte(1); }), CORE_E_NOMEM);
  EXPECT_EQ(std::memcmp(buffer, ten, 10), 0);
}

TEST(MemStream, FormattedWriteNeedsRoomForItsNul) {
  char buffer[6];
  auto out = MemStream::for_writing(buffer, sizeof buffer);
  EXPECT_EQ(abort_code([&] { out.format("%03d", 7); }), 0);
  EXPECT_STREQ(buffer, "007");
  EXPECT_EQ(out.position(), 3u);
  EXPECT_EQ(abort_code([&] { out.format("ab"); }), 0);  // "ab" and its NUL fill the buffer
  EXPECT_EQ(abort_code([&] { out.format("c"); }), CORE_E_NOMEM);
  EXPECT_EQ(out.position(), 5u);
}

TEST(MemStream, ReadAndWriteRefuseTheWrongMode) {
  uint8_t buffer[8] = {};
  auto in = MemStream::for_reading(buffer, sizeof buffer);
  auto out = MemStream::for_writing(buffer, sizeof buffer);
  char line[8];
  EXPECT_EQ(abort_code([&] { in.write_byte(1); }), CORE_E_NODATA);
  EXPECT_EQ(abort_code([&] { in.format("x"); }), CORE_E_NODATA);
  EXPECT_EQ(abort_code([&] { out.read_byte(); }), CORE_E_NODATA);
  EXPECT_EQ(abort_code([&] { out.read_line(line, sizeof line); }), CORE_E_NODATA);
}

TEST(MemStream, ReadPastEndAborts) {
  const uint8_t data[] = {0x12, 0x34, 0x56};
  auto in = MemStream::for_reading(data, sizeof data);
  uint32_t value = 0;
  EXPECT_EQ(abort_code([&] { value = in.read_be(2); }), 0);
  EXPECT_EQ(value, 0x1234u);
  EXPECT_EQ(abort_code([&] { in.read_be(2); }), CORE_E_NODATA);
  EXPECT_EQ(in.remaining(), 1u);
}

struct LineCase {
  std::string input;
  size_t size;
  int code;
  std::string line;
  size_t position_after;
};

TEST(MemStream, ReadLine) {
  const LineCase cases[] = {
      {"AB\r\nC", 16, 0, "AB", 4},
      {"\nX", 16, 0, "", 1},
      {std::string("\0X", 2), 16, CORE_E_NODATA, "", 0},
      {"", 16, CORE_E_NODATA, "", 0},
      {"ABCDEF\nG", 4, 0, "ABC", 7},  // the rest of a long line is consumed
      {std::string("AB\0CD", 5), 16, 0, "AB", 3},
      {"tail", 16, 0, "tail", 4},
  };
  for (const auto& c : cases) {
    auto in = MemStream::for_reading(c.input.data(), c.input.size());
    char line[16] = "garbage";
    EXPECT_EQ(abort_code([&] { in.read_line(line, c.size); }), c.code) << c.input;
    if (c.code == 0) {
      EXPECT_EQ(line, c.line) << c.input;
      EXPECT_EQ(in.position(), c.position_after) << c.input;
    }
  }
}

TEST(MemStream, ReadLineAtEndAborts) {
  const char text[] = "A\n";
  auto in = MemStream::for_reading(text, 2);
  char line[4];
  EXPECT_EQ(abort_code([&] { in.read_line(line, sizeof line); }), 0);
  EXPECT_EQ(abort_code([&] { in.read_line(line, sizeof line); }), CORE_E_NODATA);
}

TEST(MemStream, SeekStaysWithinCapacity) {
  uint8_t buffer[10] = {};
  auto in = MemStream::for_reading(buffer, sizeof buffer);
  EXPECT_EQ(abort_code([&] { in.seek(10, MemStream::kFromStart); }), 0);
  EXPECT_EQ(in.remaining(), 0u);
  EXPECT_EQ(abort_code([&] { in.seek(11, MemStream::kFromStart); }), CORE_E_NODATA);
  EXPECT_EQ(abort_code([&] { in.seek(-11, MemStream::kFromEnd); }), CORE_E_NODATA);
  EXPECT_EQ(abort_code([&] { in.seek(-4, MemStream::kFromPosition); }), 0);
  EXPECT_EQ(in.position(), 6u);
  EXPECT_EQ(abort_code([&] { in.seek(0, 3); }), CORE_E_NODATA);
  EXPECT_EQ(abort_code([&] { in.seek(PTRDIFF_MAX, MemStream::kFromPosition); }), CORE_E_NODATA);
  EXPECT_EQ(in.position(), 6u);

  auto out = MemStream::for_writing(buffer, sizeof buffer);
  out.write_byte(1);
  EXPECT_EQ(abort_code([&] { out.seek(8, MemStream::kFromStart); }), 0);
  EXPECT_EQ(out.end(), 8u);  // seeking forward raises end
  EXPECT_EQ(abort_code([&] { out.seek(0, MemStream::kFromStart); }), 0);
  EXPECT_EQ(out.end(), 8u);
}

TEST(MemStream, AbortSkipsTheRestOfTheCodecCall) {
  bool later_step_ran = false;
  const int result = codec_call([&] {
    codec_abort(CORE_E_PACKET);
    later_step_ran = true;
    return 0;
  });
  EXPECT_EQ(result, CORE_E_PACKET);
  EXPECT_FALSE(later_step_ran);
  EXPECT_EQ(codec_call([] { return 42; }), 42);
}

}  // namespace
