// The machine fingerprint text: drive identity, processor identity and the
// system volume serial, concatenated without separators.
#include <cctype>
#include <cstring>
#include <string>

#include "core/crypto.h"
#include "engines/hardanchor.h"

namespace {

using platform::DriveFacts;
using platform::kAtaIdentifySize;

uint16_t identify_word(const uint8_t* identify, size_t word) {
  return static_cast<uint16_t>(identify[2 * word] | identify[2 * word + 1] << 8);
}

// Blanks are dropped everywhere and trailing white space cut, as drives pad
// their texts with blanks. The text ends at a NUL byte.
std::string identity_field(std::string text) {
  std::string out;
  for (const char c : text) {
    if (c == '\0') break;
    if (c != ' ') out += c;
  }
  while (!out.empty() && std::isspace(static_cast<unsigned char>(out.back()))) out.pop_back();
  secure_wipe(text.data(), text.size());
  return out;
}

// A text field of IDENTIFY data: each word gives its high byte, then its low.
std::string identify_text(const uint8_t* identify, size_t first_word, size_t last_word) {
  std::string raw;
  for (size_t w = first_word; w <= last_word; ++w) {
    const uint16_t word = identify_word(identify, w);
    raw += static_cast<char>(word >> 8);
    raw += static_cast<char>(word & 0xff);
  }
  return identity_field(std::move(raw));
}

void wipe(std::string& s) {
  secure_wipe(s.data(), s.size());
  s.clear();
}

// Appends part to the fingerprint if it fits (with the NUL) in size bytes.
bool append(char* buffer, int size, int& length, const std::string& part) {
  if (part.size() >= static_cast<size_t>(size - length)) return false;
  std::memcpy(buffer + length, part.data(), part.size());
  length += static_cast<int>(part.size());
  return true;
}

}  // namespace

std::string AtaIdentityText(const uint8_t identify[kAtaIdentifySize]) {
  const uint16_t config = identify_word(identify, 0);
  const char* type = (config & 0x80) ? "Removable" : (config & 0x40) ? "Fixed" : "Unknown";
  const unsigned long buffer_size = identify_word(identify, 21) * 512UL;
  return identify_text(identify, 27, 46) + identify_text(identify, 10, 19) +
         identify_text(identify, 23, 26) + std::to_string(buffer_size) + type;
}

std::string DriveIdentityText(const DriveFacts& drive) {
  if (drive.has_identify) return AtaIdentityText(drive.identify);
  // Without IDENTIFY data the system knows no buffer size.
  return identity_field(drive.model) + identity_field(drive.serial) +
         identity_field(drive.firmware) + "0" + (drive.removable ? "Removable" : "Fixed");
}

int BuildMachineFingerprint(const platform::MachineFacts& machine, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return -1;
  std::memset(buffer, 0, static_cast<size_t>(size));

  std::string drive_text;
  drive_text.reserve(4096);  // grown in place, so no copy is left unwiped
  auto drives = machine.drives();
  for (auto& drive : drives) {
    std::string text = DriveIdentityText(drive);
    drive_text += text;
    wipe(text);
    platform::wipe(drive);
  }
  std::string processor_text;
  processor_text.reserve(1024);
  auto processors = machine.processors();
  for (auto& processor : processors) {
    processor_text += processor.description;
    processor_text += processor.processor_id;
    platform::wipe(processor);
  }
  const auto serial = machine.system_volume_serial();
  const std::string serial_text = serial ? std::to_string(*serial) : std::string();

  int length = 0;
  const bool fits = append(buffer, size, length, drive_text) &&
                    append(buffer, size, length, processor_text) &&
                    append(buffer, size, length, serial_text);
  wipe(drive_text);
  wipe(processor_text);
  if (!fits) {
    secure_wipe(buffer, static_cast<size_t>(size));
    return -1;
  }
  return length;
}

int BuildMachineFingerprint(char* buffer, int size) {
  return BuildMachineFingerprint(platform::this_machine(), buffer, size);
}
