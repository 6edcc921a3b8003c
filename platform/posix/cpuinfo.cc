#include "platform/posix/cpuinfo.h"

#include <cstdio>
#include <cstdlib>
#include <map>

namespace platform {
namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

using Fields = std::map<std::string, std::string, std::less<>>;

std::string field(const Fields& fields, std::string_view name) {
  const auto it = fields.find(name);
  return it == fields.end() ? std::string() : it->second;
}

// Numbers in cpuinfo are decimal, or hexadecimal with 0x (ARM parts).
unsigned long number(const std::string& text) { return std::strtoul(text.c_str(), nullptr, 0); }

// Windows' Win32_Processor.Description for the processor one block describes.
std::string description(const Fields& fields) {
  const std::string vendor = field(fields, "vendor_id");
  if (!vendor.empty()) {
    const char* arch = vendor == "GenuineIntel" ? "Intel64" : "AMD64";
    return std::string(arch) + " Family " + std::to_string(number(field(fields, "cpu family"))) +
           " Model " + std::to_string(number(field(fields, "model"))) + " Stepping " +
           std::to_string(number(field(fields, "stepping")));
  }
  const std::string part = field(fields, "CPU part");
  if (!part.empty()) {
    char text[96];
    std::snprintf(text, sizeof text, "ARMv8 (64-bit) Family %lu Model %lX Revision %lX",
                  number(field(fields, "CPU architecture")), number(part),
                  number(field(fields, "CPU revision")));
    return text;
  }
  return std::string();
}

}  // namespace

std::vector<ProcessorFacts> processors_from_cpuinfo(std::string_view cpuinfo,
                                                    const std::string& processor_id) {
  // Blocks are separated by blank lines; each is one logical processor.
  std::vector<Fields> blocks(1);
  while (!cpuinfo.empty()) {
    const size_t end = cpuinfo.find('\n');
    const std::string_view line = cpuinfo.substr(0, end);
    cpuinfo.remove_prefix(end == std::string_view::npos ? cpuinfo.size() : end + 1);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
      if (trim(line).empty() && !blocks.back().empty()) blocks.emplace_back();
      continue;
    }
    blocks.back().emplace(std::string(trim(line.substr(0, colon))), std::string(trim(line.substr(colon + 1))));
  }

  std::vector<ProcessorFacts> records;
  std::vector<std::string> packages_seen;
  for (const Fields& block : blocks) {
    if (block.empty()) continue;
    const std::string package = field(block, "physical id");
    bool seen = false;
    for (const auto& p : packages_seen) seen = seen || p == package;
    if (seen) continue;
    packages_seen.push_back(package);
    ProcessorFacts record{description(block), processor_id};
    if (!record.description.empty()) records.push_back(std::move(record));
  }
  return records;
}

}  // namespace platform
