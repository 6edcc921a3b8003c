// A machine whose fingerprint sources the test sets, and temporary files.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/machine_id.h"
#include "tests/support/portable.h"

class FakeMachine : public platform::MachineFacts {
 public:
  std::vector<platform::DriveFacts> drive_list;
  std::vector<platform::ProcessorFacts> processor_list;
  std::optional<uint64_t> serial;

  std::vector<platform::DriveFacts> drives() const override { return drive_list; }
  std::vector<platform::ProcessorFacts> processors() const override { return processor_list; }
  std::optional<uint64_t> system_volume_serial() const override { return serial; }

  // A typical machine: one disk known by its sysfs fields, one processor.
  static FakeMachine typical() {
    FakeMachine m;
    platform::DriveFacts disk;
    disk.model = "QEMU HARDDISK   ";
    disk.serial = "QM00001";
    disk.firmware = "2.5+";
    m.drive_list.push_back(disk);
    m.processor_list.push_back({"AMD64 Family 26 Model 2 Stepping 1", "178BFBFF00B00F21"});
    m.serial = 6063213599946219640ULL;
    return m;
  }
};

// A fresh directory removed with its files at the end of the test.
class TempDir {
 public:
  TempDir() : path_(test_support::make_temp_dir("velix-anchor-")) {}
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline void write_file(const std::string& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}
