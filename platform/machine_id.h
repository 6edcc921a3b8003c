// What the operating system tells about this machine for the machine
// fingerprint of anchored key files: its drives, its processors and the
// serial number of its system volume. Formatting the fingerprint text is
// the caller's business; this interface only gathers the facts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

constexpr size_t kAtaIdentifySize = 512;
constexpr size_t kMaxFingerprintDrives = 16;

struct DriveFacts {
  // The drive's ATA IDENTIFY DEVICE data as the drive sends it (256
  // little-endian words, text fields with the first character in the high
  // byte of each word), when the system lets us ask for it.
  bool has_identify = false;
  uint8_t identify[kAtaIdentifySize] = {};
  // Otherwise the identity the system reports for the drive.
  std::string model;
  std::string serial;
  std::string firmware;
  bool removable = false;
};

struct ProcessorFacts {
  std::string description;   // "<architecture> Family <f> Model <m> Stepping <s>"
  std::string processor_id;  // the processor's signature and feature words in hex
};

// The sources a fingerprint is built from; tests put their own behind it.
class MachineFacts {
 public:
  virtual ~MachineFacts() = default;
  // The physical drives in a stable order, at most kMaxFingerprintDrives.
  virtual std::vector<DriveFacts> drives() const = 0;
  // One record per processor package.
  virtual std::vector<ProcessorFacts> processors() const = 0;
  // The serial number of the volume the system runs from, if it has one.
  virtual std::optional<uint64_t> system_volume_serial() const = 0;
};

// This machine. Drives and processors are asked once per process and kept,
// so a drive or processor change is seen after a restart.
const MachineFacts& this_machine();

// This machine's drives, asked now (what this_machine() keeps from its first call).
std::vector<DriveFacts> query_drives();

// Overwrites the identity held in facts (fingerprint material).
void wipe(DriveFacts& facts);
void wipe(ProcessorFacts& facts);

}  // namespace platform
