// One registry hive in memory, and its text form: the ".reg" export format
// ("Windows Registry Editor Version 5.00") with every value written as hex
// bytes of its exact type, so that types and data survive byte for byte.
//
// Reading is tolerant: a line that cannot be understood, or a last line that
// was cut short, is left out and reported as damage; everything else is kept.
// A last line without its line break counts when its end shows it whole (a
// key, a quoted string, a dword of eight digits, a deletion).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct RegValueData {
  std::string name;
  uint32_t type = 0;
  std::string data;  // raw bytes

  bool operator==(const RegValueData&) const = default;
};

struct RegKeyData {
  std::string path;                  // as first created; "" is the hive's root
  std::vector<RegValueData> values;  // in creation order

  const RegValueData* find(std::string_view name) const;
  bool operator==(const RegKeyData&) const = default;
};

class HiveData {
 public:
  HiveData();

  // Path lookups ignore ASCII letter case. Paths are split at "\\".
  RegKeyData* find(std::string_view path);
  const RegKeyData* find(std::string_view path) const;
  // The key, created with any missing parents.
  RegKeyData& create(std::string_view path);
  // Names of the direct subkeys, in case-insensitive alphabetical order.
  std::vector<std::string> subkeys(std::string_view path) const;
  // Removes the key and everything below it (never the root).
  void erase_tree(std::string_view path);

  // Sets or replaces a value (a replaced value keeps its place and spelling).
  static void set_value(RegKeyData& key, std::string_view name, uint32_t type,
                        std::string_view data);
  static bool erase_value(RegKeyData& key, std::string_view name);

  const std::map<std::string, RegKeyData>& keys() const { return keys_; }
  bool operator==(const HiveData&) const = default;

 private:
  std::map<std::string, RegKeyData> keys_;  // by folded path
};

// A key or value name in the form used for comparisons.
std::string fold_reg_name(std::string_view name);
// True when path is "" or made of non-empty names without control characters.
bool valid_reg_path(std::string_view path);

struct ParsedHive {
  HiveData hive;
  bool damaged = false;  // something was left out
};

// root_name is the hive's name in section headers, e.g. "HKEY_CURRENT_USER".
ParsedHive parse_reg_file(std::string_view text, std::string_view root_name);
std::string format_reg_file(const HiveData& hive, std::string_view root_name);

}  // namespace platform
