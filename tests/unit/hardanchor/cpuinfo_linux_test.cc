// The Linux backend's processor records, read from /proc/cpuinfo.
#include "platform/posix/cpuinfo.h"

#include <gtest/gtest.h>

namespace {

TEST(Cpuinfo, OneRecordPerPackageInTheShapeWindowsGives) {
  const char* text =
      "processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: 158\n"
      "model name\t: Intel(R) Core(TM) i7\nstepping\t: 10\nphysical id\t: 0\n\n"
      "processor\t: 1\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: 158\n"
      "stepping\t: 10\nphysical id\t: 0\n\n"
      "processor\t: 2\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: 158\n"
      "stepping\t: 11\nphysical id\t: 1\n\n";
  const auto records = platform::processors_from_cpuinfo(text, "BFEBFBFF000906EA");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].description, "Intel64 Family 6 Model 158 Stepping 10");
  EXPECT_EQ(records[1].description, "Intel64 Family 6 Model 158 Stepping 11");
  EXPECT_EQ(records[1].processor_id, "BFEBFBFF000906EA");

  const auto amd = platform::processors_from_cpuinfo(
      "vendor_id : AuthenticAMD\ncpu family : 26\nmodel : 2\nstepping : 1\n", "X");
  ASSERT_EQ(amd.size(), 1u);
  EXPECT_EQ(amd[0].description, "AMD64 Family 26 Model 2 Stepping 1");

  const auto arm = platform::processors_from_cpuinfo(
      "processor : 0\nCPU implementer : 0x41\nCPU architecture: 8\nCPU variant : 0x3\n"
      "CPU part : 0xd0c\nCPU revision : 1\n\nprocessor : 1\nCPU part : 0xd0c\n",
      "");
  ASSERT_EQ(arm.size(), 1u);
  EXPECT_EQ(arm[0].description, "ARMv8 (64-bit) Family 8 Model D0C Revision 1");

  EXPECT_TRUE(platform::processors_from_cpuinfo("", "X").empty());
}

}  // namespace
