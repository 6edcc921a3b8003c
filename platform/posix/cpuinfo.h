// Processor records from the text of /proc/cpuinfo, in the shape Windows
// reports its processors ("Description" and "ProcessorId").
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/machine_id.h"

namespace platform {

// One record per distinct "physical id" (one in all when the text has
// none), in order of first appearance. processor_id is given to every
// record: all packages of one machine share it on the systems we run on.
std::vector<ProcessorFacts> processors_from_cpuinfo(std::string_view cpuinfo,
                                                    const std::string& processor_id);

}  // namespace platform
