// Key file contents of any kind through KeyHardAnchor::ReadKeyText: a plain
// file must come back unchanged, an anchored one as a NUL-terminated text no
// longer than half its hex line.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engines/hardanchor.h"

namespace {

// A fixed machine, so that seeds anchored to it decrypt to real text.
class FuzzMachine : public platform::MachineFacts {
 public:
  std::vector<platform::DriveFacts> drives() const override {
    platform::DriveFacts disk;
    disk.model = "QEMU HARDDISK";
    disk.serial = "QM00001";
    return {disk};
  }
  std::vector<platform::ProcessorFacts> processors() const override {
    return {{"AMD64 Family 26 Model 2 Stepping 1", "178BFBFF00B00F21"}};
  }
  std::optional<uint64_t> system_volume_serial() const override { return 1234567890; }
};

// In memory where the system has it: replacing a file on disk thousands of
// times a second is slow. Removed when the fuzzer exits.
std::string key_path() {
  static std::string path;
  path = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm/velix-fuzz-key-XXXXXX" : "/tmp/velix-fuzz-key-XXXXXX";
  const int fd = ::mkstemp(path.data());
  if (fd < 0) std::abort();
  ::close(fd);
  std::atexit([] { ::unlink(path.c_str()); });
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = key_path();
  static const FuzzMachine machine;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();

  KeyHardAnchor reader(machine);
  const KeyText text = reader.ReadKeyText(path.c_str());
  if (size == 0 && text) std::abort();
  if (!text) return 0;
  if (text.data()[text.length()] != '\0') std::abort();
  if (reader.anchored() == 0) {
    if (text.length() != size || std::memcmp(text.data(), data, size) != 0) std::abort();
  } else if (text.length() > size / 2) {
    std::abort();
  }
  return 0;
}
