#include "platform/reg_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <unordered_map>

namespace platform {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr size_t kHexBytesPerLine = 25;

char fold_char(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool names_equal(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return fold_char(x) == fold_char(y); });
}

std::string_view parent_of(std::string_view path) {
  const size_t cut = path.rfind('\\');
  return cut == std::string_view::npos ? std::string_view() : path.substr(0, cut);
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool is_space(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

// Whether a last line without its line break shows by its end that it is
// whole: a key's "]", a string's closing quote, a dword's eight digits, a
// deletion's "-". A hex list cut after a byte cannot be told from a whole one,
// nor a dword cut after a digit, so those count as cut short.
bool ends_whole(std::string_view line) {
  line = trim(line);
  if (line.empty() || line.front() == ';') return true;
  if (line.front() == '[') return line.back() == ']';
  if (line.ends_with("=-")) return true;
  if (line.back() == '"') {
    size_t backslashes = 0;  // an escaped quote does not end the string
    for (size_t i = line.size() - 1; i > 0 && line[i - 1] == '\\'; --i) ++backslashes;
    return backslashes % 2 == 0;
  }
  const std::string_view dword = "dword:";
  if (line.size() < dword.size() + 8) return false;
  const std::string_view tail = line.substr(line.size() - dword.size() - 8);
  return tail.starts_with(dword) && std::all_of(tail.begin() + static_cast<long>(dword.size()), tail.end(),
                                                [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

// "01,ab, 7f" -> bytes; nullopt when malformed.
std::optional<std::string> parse_hex_list(std::string_view list) {
  std::string bytes;
  list = trim(list);
  if (list.empty()) return bytes;
  size_t pos = 0;
  while (true) {
    while (pos < list.size() && is_space(list[pos])) ++pos;
    if (pos + 2 > list.size()) return std::nullopt;
    const int hi = hex_digit(list[pos]), lo = hex_digit(list[pos + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes += static_cast<char>(hi * 16 + lo);
    pos += 2;
    while (pos < list.size() && is_space(list[pos])) ++pos;
    if (pos == list.size()) return bytes;
    if (list[pos] != ',') return std::nullopt;
    ++pos;
  }
}

// Reads a quoted name starting at s[0] == '"'; on success s is left after the
// closing quote.
std::optional<std::string> parse_quoted(std::string_view& s) {
  if (s.empty() || s[0] != '"') return std::nullopt;
  std::string out;
  size_t i = 1;
  while (i < s.size()) {
    const char c = s[i];
    if (c == '"') {
      s.remove_prefix(i + 1);
      return out;
    }
    if (c != '\\') {
      out += c;
      ++i;
      continue;
    }
    if (i + 1 >= s.size()) return std::nullopt;
    const char e = s[i + 1];
    if (e == '\\' || e == '"') {
      out += e;
      i += 2;
    } else if (e == 'x' && i + 3 < s.size() && hex_digit(s[i + 2]) >= 0 && hex_digit(s[i + 3]) >= 0) {
      out += static_cast<char>(hex_digit(s[i + 2]) * 16 + hex_digit(s[i + 3]));
      i += 4;
    } else {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

void append_quoted(std::string& out, std::string_view name) {
  out += '"';
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u == 0x7F) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", u);
      out += escaped;
    } else {
      out += c;
    }
  }
  out += '"';
}

// The data part after "=": sets type and bytes; false when malformed.
bool parse_data(std::string_view s, uint32_t& type, std::string& bytes) {
  s = trim(s);
  if (s.size() >= 2 && s.front() == '"') {
    std::string_view rest = s;
    auto text = parse_quoted(rest);
    if (!text || !trim(rest).empty()) return false;
    type = 1;  // REG_SZ
    bytes = *text + '\0';
    return true;
  }
  if (s.starts_with("dword:")) {
    const std::string_view digits = s.substr(6);
    if (digits.empty() || digits.size() > 8) return false;
    uint32_t v = 0;
    for (const char c : digits) {
      const int d = hex_digit(c);
      if (d < 0) return false;
      v = v * 16 + static_cast<uint32_t>(d);
    }
    type = 4;  // REG_DWORD, little-endian like the registry keeps it
    bytes.clear();
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
    return true;
  }
  if (s.starts_with("hex:")) {
    type = 3;  // REG_BINARY
    s.remove_prefix(4);
  } else if (s.starts_with("hex(")) {
    const size_t close = s.find("):");
    if (close == std::string_view::npos || close == 4 || close > 12) return false;
    uint32_t t = 0;
    for (const char c : s.substr(4, close - 4)) {
      const int d = hex_digit(c);
      if (d < 0) return false;
      t = t * 16 + static_cast<uint32_t>(d);
    }
    type = t;
    s.remove_prefix(close + 2);
  } else {
    return false;
  }
  auto list = parse_hex_list(s);
  if (!list) return false;
  bytes = std::move(*list);
  return true;
}

}  // namespace

std::string fold_reg_name(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = fold_char(c);
  return folded;
}

bool valid_reg_path(std::string_view path) {
  if (path.empty()) return true;
  if (path.front() == '\\' || path.back() == '\\' || path.find("\\\\") != std::string_view::npos)
    return false;
  return std::none_of(path.begin(), path.end(),
                      [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

const RegValueData* RegKeyData::find(std::string_view name) const {
  for (const auto& value : values)
    if (names_equal(value.name, name)) return &value;
  return nullptr;
}

HiveData::HiveData() { keys_.emplace(std::string(), RegKeyData{}); }

RegKeyData* HiveData::find(std::string_view path) {
  auto it = keys_.find(fold_reg_name(path));
  return it == keys_.end() ? nullptr : &it->second;
}

const RegKeyData* HiveData::find(std::string_view path) const {
  auto it = keys_.find(fold_reg_name(path));
  return it == keys_.end() ? nullptr : &it->second;
}

RegKeyData& HiveData::create(std::string_view path) {
  if (RegKeyData* existing = find(path)) return *existing;
  if (!path.empty()) create(parent_of(path));
  RegKeyData& key = keys_[fold_reg_name(path)];
  key.path = std::string(path);
  return key;
}

std::vector<std::string> HiveData::subkeys(std::string_view path) const {
  const std::string prefix = path.empty() ? std::string() : fold_reg_name(path) + '\\';
  std::vector<std::string> names;
  for (auto it = keys_.lower_bound(prefix); it != keys_.end() && it->first.starts_with(prefix); ++it) {
    const std::string_view rest = std::string_view(it->first).substr(prefix.size());
    if (rest.empty() || rest.find('\\') != std::string_view::npos) continue;
    names.push_back(it->second.path.substr(it->second.path.size() - rest.size()));
  }
  return names;
}

void HiveData::erase_tree(std::string_view path) {
  if (path.empty()) return;
  const std::string folded = fold_reg_name(path);
  keys_.erase(folded);
  const std::string prefix = folded + '\\';
  auto it = keys_.lower_bound(prefix);
  while (it != keys_.end() && it->first.starts_with(prefix)) it = keys_.erase(it);
}

void HiveData::set_value(RegKeyData& key, std::string_view name, uint32_t type,
                         std::string_view data) {
  for (auto& value : key.values) {
    if (names_equal(value.name, name)) {
      value.type = type;
      value.data = std::string(data);
      return;
    }
  }
  key.values.push_back(RegValueData{std::string(name), type, std::string(data)});
}

bool HiveData::erase_value(RegKeyData& key, std::string_view name) {
  auto it = std::find_if(key.values.begin(), key.values.end(),
                         [&](const RegValueData& v) { return names_equal(v.name, name); });
  if (it == key.values.end()) return false;
  key.values.erase(it);
  return true;
}

namespace {

// Where each value of a key sits, by folded name, while a file is read: a key
// of thousands of values reads in linear time, not one scan per value.
class ValuePlaces {
 public:
  void set(RegKeyData& key, std::string name, uint32_t type, std::string data) {
    std::unordered_map<std::string, size_t>& places = places_of(key);
    const auto [it, added] = places.try_emplace(fold_reg_name(name), key.values.size());
    if (added) {
      key.values.push_back(RegValueData{std::move(name), type, std::move(data)});
      return;
    }
    key.values[it->second].type = type;  // a repeated value keeps its place and spelling
    key.values[it->second].data = std::move(data);
  }
  void erase(RegKeyData& key, std::string_view name) {
    if (HiveData::erase_value(key, name)) by_key_.erase(&key);  // places after it moved
  }

 private:
  std::unordered_map<std::string, size_t>& places_of(RegKeyData& key) {
    auto [it, added] = by_key_.try_emplace(&key);
    if (added)
      for (size_t i = 0; i < key.values.size(); ++i) it->second.emplace(fold_reg_name(key.values[i].name), i);
    return it->second;
  }

  std::unordered_map<const RegKeyData*, std::unordered_map<std::string, size_t>> by_key_;
};

}  // namespace

ParsedHive parse_reg_file(std::string_view text, std::string_view root_name) {
  ParsedHive result;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);

  RegKeyData* current = nullptr;
  ValuePlaces places;
  const auto read_line = [&](std::string_view raw) {
    const std::string_view line = trim(raw);
    if (line.empty() || line.front() == ';') return;
    if (line.front() == '[') {
      current = nullptr;
      const size_t close = line.rfind(']');
      if (close == std::string_view::npos || !trim(line.substr(close + 1)).empty()) {
        result.damaged = true;
        return;
      }
      std::string_view path = line.substr(1, close - 1);
      if (path.starts_with('-')) return;  // a deletion entry: nothing to keep
      if (path.size() < root_name.size() || !names_equal(path.substr(0, root_name.size()), root_name)) {
        result.damaged = true;
        return;
      }
      path.remove_prefix(root_name.size());
      if (!path.empty()) {
        if (path.front() != '\\') {
          result.damaged = true;
          return;
        }
        path.remove_prefix(1);
      }
      if (!valid_reg_path(path)) {
        result.damaged = true;
        return;
      }
      current = &result.hive.create(path);
      return;
    }
    if (current == nullptr) {
      result.damaged = true;
      return;
    }
    std::string_view rest = line;
    std::string name;
    if (rest.front() == '@') {
      rest.remove_prefix(1);
    } else {
      auto quoted = parse_quoted(rest);
      if (!quoted) {
        result.damaged = true;
        return;
      }
      name = std::move(*quoted);
    }
    rest = trim(rest);
    if (rest.empty() || rest.front() != '=') {
      result.damaged = true;
      return;
    }
    rest.remove_prefix(1);
    if (trim(rest) == "-") {
      places.erase(*current, name);
      return;
    }
    uint32_t type = 0;
    std::string bytes;
    if (!parse_data(rest, type, bytes)) {
      result.damaged = true;
      return;
    }
    places.set(*current, std::move(name), type, std::move(bytes));
  };

  // Reads logical lines as they are found: physical lines joined where one
  // ends in "\\" (a continued hex list); the first must be the header.
  bool header_seen = false;
  const auto take = [&](std::string_view line) {
    if (header_seen) {
      read_line(line);
    } else {
      header_seen = true;
      if (line != kHeader) {
        result.damaged = true;
        read_line(line);
      }
    }
  };
  std::string pending;
  bool continuing = false;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    const bool unterminated = end == std::string_view::npos;
    if (unterminated) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (unterminated && !continuing && !ends_whole(line)) {
      result.damaged = true;  // the last line was cut short
      break;
    }
    if (continuing) line = trim(line);
    if (!line.empty() && line.back() == '\\' && (continuing || line.find('=') != std::string_view::npos)) {
      pending += line.substr(0, line.size() - 1);
      continuing = true;
      continue;
    }
    if (continuing) {
      pending += line;
      take(pending);
      pending.clear();
      continuing = false;
    } else {
      take(line);
    }
  }
  if (continuing) result.damaged = true;  // a continued value with its end missing
  if (!header_seen) result.damaged = true;
  return result;
}

std::string format_reg_file(const HiveData& hive, std::string_view root_name) {
  std::string out(kHeader);
  out += "\r\n\r\n";
  for (const auto& [folded, key] : hive.keys()) {
    if (key.path.empty() && key.values.empty()) continue;
    out += '[';
    out += root_name;
    if (!key.path.empty()) {
      out += '\\';
      out += key.path;
    }
    out += "]\r\n";
    for (const RegValueData& value : key.values) {
      if (value.name.empty()) {
        out += '@';
      } else {
        append_quoted(out, value.name);
      }
      out += '=';
      if (value.type == 4 && value.data.size() == 4) {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = v * 256 + static_cast<unsigned char>(value.data[static_cast<size_t>(i)]);
        char digits[16];
        std::snprintf(digits, sizeof digits, "dword:%08x", v);
        out += digits;
      } else {
        char prefix[24];
        if (value.type == 3) {
          std::snprintf(prefix, sizeof prefix, "hex:");
        } else {
          std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
        }
        out += prefix;
        for (size_t i = 0; i < value.data.size(); ++i) {
          char byte[4];
          std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(value.data[i]));
          out += byte;
          if (i + 1 == value.data.size()) break;
          out += ',';
          if ((i + 1) % kHexBytesPerLine == 0) out += "\\\r\n  ";
        }
      }
      out += "\r\n";
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace platform
