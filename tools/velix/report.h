// What a command prints: a record of named values, shown as "name: value"
// lines for people or as one JSON object for scripts (--json).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

class Report;
using ReportList = std::vector<Report>;

class Report {
 public:
  Report& add(std::string name, std::string value);
  Report& add(std::string name, const char* value) { return add(std::move(name), std::string(value)); }
  Report& add(std::string name, int64_t value);
  Report& add(std::string name, bool value);
  Report& add(std::string name, ReportList list);

  // JSON object, without a line break.
  std::string json() const;
  // "name: value" lines; lists as indented blocks.
  std::string text(int indent = 0) const;

 private:
  using Value = std::variant<std::string, int64_t, bool, std::shared_ptr<ReportList>>;
  std::vector<std::pair<std::string, Value>> fields_;
};

// Prints the report in the chosen form on standard output.
void print_report(const Report& report, bool json);
// Text for a terminal: every control character (C0, DEL, C1, the line and
// paragraph separators) written as an escape (\n, \r, \t, \u001b ...), as
// velixhost's log writes them, so no name can move the cursor, ring the bell
// or start a line of its own.
std::string terminal_text(const std::string& text);
// A JSON string literal.
std::string json_string(const std::string& text);
