// The Linux sources of the machine fingerprint: drives from /sys/block (with
// their ATA IDENTIFY data where the kernel hands it out), processors from
// /proc/cpuinfo and CPUID, and the file system id of "/".
#include "platform/machine_id.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/hdreg.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>

#include "core/crypto.h"
#include "platform/posix/cpuinfo.h"

namespace platform {
namespace {

// Reads a small text file (a sysfs attribute fits one read); empty when it
// cannot be read.
std::string read_text(const std::string& path, size_t limit = 4096) {
  std::string text;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  text.resize(limit);
  size_t length = 0;
  ssize_t got;
  while (length < limit && (got = ::read(fd, text.data() + length, limit - length)) > 0) {
    length += static_cast<size_t>(got);
    if (length < limit && path.rfind("/sys/", 0) == 0) break;  // sysfs gives all at once
  }
  ::close(fd);
  text.resize(length);
  return text;
}

// The first of several sysfs attributes that exists, without its line feed.
std::string first_attribute(const std::string& dir, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    std::string value = read_text(dir + "/" + name);
    while (!value.empty() && (value.back() == '\n' || value.back() == '\0')) value.pop_back();
    if (!value.empty()) return value;
  }
  return std::string();
}

bool starts_with(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// The unit serial number from SCSI VPD page 0x80 (4-byte header, then text).
std::string vpd_serial(const std::string& dir) {
  const std::string page = read_text(dir + "/device/vpd_pg80");
  if (page.size() < 4 || static_cast<uint8_t>(page[1]) != 0x80) return std::string();
  const size_t length = (static_cast<uint8_t>(page[2]) << 8) | static_cast<uint8_t>(page[3]);
  return page.substr(4, std::min(length, page.size() - 4));
}

// Text fields of IDENTIFY data: words 10-19 serial, 23-26 firmware, 27-46 model.
bool is_text_word(size_t word) {
  return (word >= 10 && word <= 19) || (word >= 23 && word <= 46);
}

// HDIO_GET_IDENTITY: the kernel gives numbers in host order and the text
// fields already turned into plain character order; put both back into the
// order the drive sends.
bool identify_by_hdio(int fd, uint8_t out[kAtaIdentifySize]) {
  uint16_t words[kAtaIdentifySize / 2] = {};
  if (::ioctl(fd, HDIO_GET_IDENTITY, words) != 0) return false;
  const auto* bytes = reinterpret_cast<const uint8_t*>(words);
  for (size_t w = 0; w < kAtaIdentifySize / 2; ++w) {
    if (is_text_word(w)) {
      out[2 * w] = bytes[2 * w + 1];
      out[2 * w + 1] = bytes[2 * w];
    } else {
      out[2 * w] = static_cast<uint8_t>(words[w]);
      out[2 * w + 1] = static_cast<uint8_t>(words[w] >> 8);
    }
  }
  return true;
}

// ATA PASS-THROUGH (16) with IDENTIFY DEVICE through SG_IO; the data comes
// back exactly as the drive sends it.
bool identify_by_sg_io(int fd, uint8_t out[kAtaIdentifySize]) {
  uint8_t cdb[16] = {};
  cdb[0] = 0x85;        // ATA PASS-THROUGH (16)
  cdb[1] = 4 << 1;      // protocol: PIO data-in
  cdb[2] = 0x0e;        // data from the device, length in sectors, in the count field
  cdb[6] = 1;           // one sector
  cdb[14] = 0xec;       // IDENTIFY DEVICE
  uint8_t sense[32] = {};
  sg_io_hdr_t io = {};
  io.interface_id = 'S';
  io.dxfer_direction = SG_DXFER_FROM_DEV;
  io.cmd_len = sizeof cdb;
  io.cmdp = cdb;
  io.dxfer_len = kAtaIdentifySize;
  io.dxferp = out;
  io.mx_sb_len = sizeof sense;
  io.sbp = sense;
  io.timeout = 3000;  // milliseconds
  if (::ioctl(fd, SG_IO, &io) != 0) return false;
  return io.status == 0 && io.host_status == 0 && io.driver_status == 0 && io.resid == 0;
}

bool read_identify(const std::string& name, uint8_t out[kAtaIdentifySize]) {
  const std::string node = "/dev/" + name;
  const int fd = ::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = false;
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISBLK(st.st_mode))
    ok = identify_by_hdio(fd, out) || identify_by_sg_io(fd, out);
  ::close(fd);
  return ok;
}

// Disks only: block devices backed by hardware, without optical and floppy
// drives, and without drives on USB, which come and go and would change the
// fingerprint. Names of virtual devices are known without asking sysfs,
// which keeps the probe cheap: it runs at every anchored open.
bool is_physical_disk(const std::string& name) {
  for (const char* virtual_prefix : {".", "loop", "ram", "zram", "dm-", "md", "nbd", "sr", "fd"})
    if (starts_with(name, virtual_prefix)) return false;
  char target[512];
  const ssize_t length = ::readlink(("/sys/block/" + name).c_str(), target, sizeof target - 1);
  if (length <= 0) return false;
  const std::string_view device(target, static_cast<size_t>(length));
  return device.find("/virtual/") == std::string_view::npos && device.find("/usb") == std::string_view::npos;
}

std::vector<std::string> disk_names() {
  std::vector<std::string> names;
  DIR* dir = ::opendir("/sys/block");
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (is_physical_disk(name)) names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  if (names.size() > kMaxFingerprintDrives) names.resize(kMaxFingerprintDrives);
  return names;
}

// Each kind of drive keeps its identity in its own sysfs attributes.
DriveFacts drive_facts(const std::string& name) {
  DriveFacts facts;
  const std::string dir = "/sys/block/" + name;
  if (starts_with(name, "vd")) {  // virtio: a serial only
    facts.serial = first_attribute(dir, {"serial"});
    return facts;
  }
  if (starts_with(name, "nvme")) {
    facts.model = first_attribute(dir, {"device/model"});
    facts.serial = first_attribute(dir, {"device/serial"});
    facts.firmware = first_attribute(dir, {"device/firmware_rev"});
    return facts;
  }
  if (starts_with(name, "mmcblk")) {
    facts.model = first_attribute(dir, {"device/name"});
    facts.serial = first_attribute(dir, {"device/serial"});
    facts.firmware = first_attribute(dir, {"device/fwrev"});
    facts.removable = first_attribute(dir, {"removable"}) == "1";
    return facts;
  }
  // ATA and SCSI disks: IDENTIFY data where the kernel lets us ask for it.
  if (read_identify(name, facts.identify)) {
    facts.has_identify = true;
    return facts;
  }
  facts.model = first_attribute(dir, {"device/model"});
  facts.serial = first_attribute(dir, {"device/serial"});
  if (facts.serial.empty()) facts.serial = vpd_serial(dir);
  facts.firmware = first_attribute(dir, {"device/rev"});
  facts.removable = first_attribute(dir, {"removable"}) == "1";
  return facts;
}

// CPUID leaf 1 as Windows shows it: the feature word EDX, then the
// signature EAX, in hexadecimal.
std::string cpuid_processor_id() {
#if defined(__x86_64__) || defined(__i386__)
  unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return std::string();
  char text[17];
  std::snprintf(text, sizeof text, "%08X%08X", edx, eax);
  return text;
#else
  return std::string();
#endif
}

class LinuxMachine final : public MachineFacts {
 public:
  // Asking a drive for its identity is a round trip to the device (virtio
  // and SCSI disks answer a request), which would cost more than the rest of
  // an anchored open; drives are asked once per process, like processors.
  std::vector<DriveFacts> drives() const override {
    std::call_once(drives_once_, [this] { drives_ = query_drives(); });
    return drives_;
  }

  std::vector<ProcessorFacts> processors() const override {
    std::call_once(processors_once_, [this] {
      processors_ = processors_from_cpuinfo(read_text("/proc/cpuinfo", 1 << 20), cpuid_processor_id());
    });
    return processors_;
  }

  std::optional<uint64_t> system_volume_serial() const override {
    struct statfs info;
    if (::statfs("/", &info) != 0) return std::nullopt;
    uint32_t halves[2];
    static_assert(sizeof halves == sizeof info.f_fsid);
    std::memcpy(halves, &info.f_fsid, sizeof halves);
    const uint64_t id = uint64_t{halves[1]} << 32 | halves[0];
    // A file system without an id reports 0, which tells nothing.
    if (id == 0) return std::nullopt;
    return id;
  }

 private:
  mutable std::once_flag drives_once_;
  mutable std::vector<DriveFacts> drives_;
  mutable std::once_flag processors_once_;
  mutable std::vector<ProcessorFacts> processors_;
};

}  // namespace

std::vector<DriveFacts> query_drives() {
  std::vector<DriveFacts> drives;
  for (const std::string& name : disk_names()) {
    DriveFacts facts = drive_facts(name);
    const bool identified =
        facts.has_identify || !facts.model.empty() || !facts.serial.empty() || !facts.firmware.empty();
    if (identified) drives.push_back(std::move(facts));
  }
  return drives;
}

const MachineFacts& this_machine() {
  static const LinuxMachine machine;
  return machine;
}

}  // namespace platform
