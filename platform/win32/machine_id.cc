// The Windows sources of the machine fingerprint: the drives' ATA IDENTIFY
// data through the SMART interface of "\\.\PhysicalDriveN", the processors
// from WMI, and the serial number of the "C:\" volume.
#include "platform/machine_id.h"

#include <cstring>
#include <mutex>

#include "core/crypto.h"
#include "platform/win32/windows_api.h"
#include "platform/win32/wmi_processors.h"

#include <winioctl.h>

namespace platform {
namespace {

constexpr uint8_t kIdentifyDevice = 0xEC;
constexpr uint8_t kIdentifyPacketDevice = 0xA1;

// SMART_RCV_DRIVE_DATA: the 512 bytes of IDENTIFY data of drive n, asked
// with the command the device map names for it (packet devices answer 0xA1),
// or with plain IDENTIFY DEVICE when use_map is false.
bool identify_drive(HANDLE drive, int n, bool use_map, uint8_t out[kAtaIdentifySize]) {
  uint8_t command = kIdentifyDevice;
  if (use_map) {
    GETVERSIONINPARAMS version{};
    DWORD got = 0;
    if (!DeviceIoControl(drive, SMART_GET_VERSION, nullptr, 0, &version, sizeof version, &got, nullptr))
      return false;
    if (version.bIDEDeviceMap == 0) return false;
    if ((version.bIDEDeviceMap >> (n + 4)) & 1) command = kIdentifyPacketDevice;
  }
  SENDCMDINPARAMS in{};
  in.cBufferSize = kAtaIdentifySize;
  in.irDriveRegs.bSectorCountReg = 1;
  in.irDriveRegs.bSectorNumberReg = 1;
  in.irDriveRegs.bDriveHeadReg = (n & 1) != 0 ? 0xB0 : 0xA0;
  in.irDriveRegs.bCommandReg = command;
  in.bDriveNumber = static_cast<BYTE>(n);
  uint8_t answer[sizeof(SENDCMDOUTPARAMS) + kAtaIdentifySize] = {};
  DWORD got = 0;
  if (!DeviceIoControl(drive, SMART_RCV_DRIVE_DATA, &in, sizeof in, answer, sizeof answer, &got, nullptr))
    return false;
  const auto* result = reinterpret_cast<const SENDCMDOUTPARAMS*>(answer);
  std::memcpy(out, result->bBuffer, kAtaIdentifySize);
  return true;
}

// Every physical drive that gives its IDENTIFY data, first asked as the
// device map says, then, when no drive answered that way, plainly.
std::vector<DriveFacts> identify_drives(bool use_map) {
  std::vector<DriveFacts> drives;
  for (int n = 0; n < static_cast<int>(kMaxFingerprintDrives); ++n) {
    const std::wstring name = L"\\\\.\\PhysicalDrive" + std::to_wstring(n);
    HANDLE drive = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    if (drive == INVALID_HANDLE_VALUE) continue;
    DriveFacts facts;
    if (identify_drive(drive, n, use_map, facts.identify)) {
      facts.has_identify = true;
      drives.push_back(facts);
    }
    secure_wipe(facts.identify, sizeof facts.identify);
    CloseHandle(drive);
  }
  return drives;
}

class WindowsMachine final : public MachineFacts {
 public:
  std::vector<DriveFacts> drives() const override { return query_drives(); }

  // Processors are asked once per process, as WMI is slow to answer.
  std::vector<ProcessorFacts> processors() const override {
    std::call_once(processors_once_, [this] { processors_ = win32::wmi_processors(); });
    return processors_;
  }

  std::optional<uint64_t> system_volume_serial() const override {
    DWORD serial = 0;
    if (!GetVolumeInformationA("C:\\", nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) return std::nullopt;
    return serial;
  }

 private:
  mutable std::once_flag processors_once_;
  mutable std::vector<ProcessorFacts> processors_;
};

}  // namespace

std::vector<DriveFacts> query_drives() {
  std::vector<DriveFacts> drives = identify_drives(true);
  if (drives.empty()) drives = identify_drives(false);
  return drives;
}

const MachineFacts& this_machine() {
  static const WindowsMachine machine;
  return machine;
}

}  // namespace platform
