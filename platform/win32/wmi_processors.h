// The processor records WMI gives ("Description" and "ProcessorId" of each
// Win32_Processor), kept for the fingerprint only when the drive SMART data
// class of "root\WMI" can be queried too; empty when WMI is not there.
#pragma once

#include <vector>

#include "platform/machine_id.h"

namespace platform::win32 {

std::vector<ProcessorFacts> wmi_processors();

}  // namespace platform::win32
