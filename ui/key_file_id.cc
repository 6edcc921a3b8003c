#include "ui/key_file_id.h"

#include "ui/input_stream.h"

namespace ui {
namespace {

constexpr int kHeaderLength = 36;    // the document's first line
constexpr int kNameLineLength = 28;  // 20 characters of user ID and an 8-digit serial
constexpr int kUserIdLength = 20;

}  // namespace

std::string ReadKeyFileId(const std::string& path) {
  CInputFileStream stream;
  if (!stream.Open(path)) return "";
  char line[255];
  if (stream.ReadLine(line, sizeof line) != kHeaderLength) return "";
  if (stream.ReadLine(line, sizeof line) != kNameLineLength) return "";
  int length = 0;
  while (length < kUserIdLength && line[length] != ' ') ++length;
  return std::string(line, length);
}

}  // namespace ui
