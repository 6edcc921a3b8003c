// SignFile on files that are large, sparse, or cut while they are read.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/codepage.h"
#include "platform/file_reader.h"
#include "signature_check.h"
#include "signer_fixture.h"

namespace signer_checks {
namespace {

using SignFileOps = SignerOps;

// A sparse file: `size` bytes that read as zeros (it takes no disk space).
std::string SparseFile(const std::string& path, uint64_t size) {
  std::ofstream(path, std::ios::binary).close();
  std::filesystem::resize_file(path, size);
  return path;
}

TEST_F(SignFileOps, FileOverTwoGibibytesSigns) {
  OpenFixtureKey();
  const uint64_t zeros = (uint64_t{1} << 31) + 4096;  // past what an int length can hold
  const std::string path = SparseFile(home_.dir() + "/large.bin", zeros);
  std::ofstream(path, std::ios::binary | std::ios::in | std::ios::ate) << "last bytes";
  std::u16string result;
  EXPECT_EQ(signer_.SignFile(platform::utf8_to_utf16(path), &result), kStatusOk);
  ASSERT_TRUE(ui_.message_boxes.empty()) << ui_.message_boxes.front().text;
  const auto hash_file = [&](MD5_CTX& md5) {
    const std::string block(1 << 20, '\0');
    for (uint64_t left = zeros; left > 0; left -= std::min<uint64_t>(left, block.size())) {
      MD5_Update(&md5, block.data(), std::min<uint64_t>(left, block.size()));
    }
    MD5_Update(&md5, "last bytes", 10);
  };
  EXPECT_TRUE(DetachedSignatureVerifiesHashed(platform::utf16_to_utf8(result), hash_file, PublicRecord()));
}

// Cuts the file to one page as soon as the signer holds it open (its
// exclusive open keeps ours out), that is while its bytes are being hashed.
class Truncator {
 public:
  explicit Truncator(std::string path) : path_(std::move(path)), thread_([this] { Run(); }) {}
  ~Truncator() {
    stop_ = true;
    thread_.join();
  }
  bool truncated() const { return truncated_; }

 private:
  void Run() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!stop_ && std::chrono::steady_clock::now() < deadline) {
      platform::FileReader probe;
      if (!probe.Open(path_, true) && probe.last_error() == EWOULDBLOCK) {
        std::filesystem::resize_file(path_, 4096);
        truncated_ = true;
        return;
      }
      probe.Close();
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }

  std::string path_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> truncated_{false};
  std::thread thread_;
};

TEST_F(SignFileOps, FileCutWhileItIsHashedIsAReadErrorNotACrash) {
  VELIX_LINUX_FACT("the signer's exclusive open is an advisory lock; on Windows it keeps writers out, so "
                   "nobody can cut the file while it is signed");
  OpenFixtureKey();
  const std::string path = home_.dir() + "/shrinking.bin";
  // 1 GiB takes the signer well over the time the other thread needs to cut
  // it; should the signer still win the race, the file is made again.
  std::u16string result = u"untouched";
  bool cut_while_signing = false;
  for (int attempt = 0; attempt < 3 && !cut_while_signing; ++attempt) {
    SparseFile(path, uint64_t{1} << 30);
    ui_.message_boxes.clear();
    Truncator truncator(path);
    EXPECT_EQ(signer_.SignFile(platform::utf8_to_utf16(path), &result), kStatusOk);
    cut_while_signing = truncator.truncated() && result.empty();
  }
  ASSERT_TRUE(cut_while_signing) << "the file was never cut while it was signed";
  ASSERT_EQ(ui_.message_boxes.size(), 1u);
  EXPECT_EQ(ui_.message_boxes[0].text, "Error reading file");
  EXPECT_EQ(ui_.message_boxes[0].caption, "Error");
}

}  // namespace
}  // namespace signer_checks
