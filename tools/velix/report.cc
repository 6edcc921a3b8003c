#include "tools/velix/report.h"

#include <cstdio>

Report& Report::add(std::string name, std::string value) {
  fields_.emplace_back(std::move(name), std::move(value));
  return *this;
}
Report& Report::add(std::string name, int64_t value) {
  fields_.emplace_back(std::move(name), value);
  return *this;
}
Report& Report::add(std::string name, bool value) {
  fields_.emplace_back(std::move(name), value);
  return *this;
}
Report& Report::add(std::string name, ReportList list) {
  fields_.emplace_back(std::move(name), std::make_shared<ReportList>(std::move(list)));
  return *this;
}

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string terminal_text(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    const auto third = i + 2 < text.size() ? static_cast<unsigned char>(text[i + 2]) : 0;
    unsigned code = 0;
    size_t length = 0;
    if (byte < 0x20 || byte == 0x7F) {
      code = byte, length = 1;
    } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {  // C1 controls
      code = next, length = 2;
    } else if (byte == 0xE2 && next == 0x80 && (third == 0xA8 || third == 0xA9)) {  // line and paragraph separators
      code = 0x2000u + third - 0x80u, length = 3;
    }
    if (length == 0) {
      out += text[i];
      continue;
    }
    i += length - 1;
    if (code == '\n') out += "\\n";
    else if (code == '\r') out += "\\r";
    else if (code == '\t') out += "\\t";
    else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
      out += escaped;
    }
  }
  return out;
}

std::string Report::json() const {
  std::string out = "{";
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (i > 0) out += ",";
    out += json_string(fields_[i].first) + ":";
    const Value& value = fields_[i].second;
    if (const auto* s = std::get_if<std::string>(&value)) out += json_string(*s);
    else if (const auto* n = std::get_if<int64_t>(&value)) out += std::to_string(*n);
    else if (const auto* b = std::get_if<bool>(&value)) out += *b ? "true" : "false";
    else {
      const auto& list = *std::get<std::shared_ptr<ReportList>>(value);
      out += "[";
      for (size_t j = 0; j < list.size(); ++j) out.append(j > 0 ? "," : "").append(list[j].json());
      out += "]";
    }
  }
  return out + "}";
}

std::string Report::text(int indent) const {
  const std::string pad(static_cast<size_t>(indent), ' ');
  std::string out;
  for (const auto& [name, value] : fields_) {
    if (const auto* s = std::get_if<std::string>(&value)) out += pad + name + ": " + terminal_text(*s) + "\n";
    else if (const auto* n = std::get_if<int64_t>(&value)) out += pad + name + ": " + std::to_string(*n) + "\n";
    else if (const auto* b = std::get_if<bool>(&value)) out += pad + name + ": " + (*b ? "yes" : "no") + "\n";
    else {
      const auto& list = *std::get<std::shared_ptr<ReportList>>(value);
      out += pad + name + ":" + (list.empty() ? " none\n" : "\n");
      for (size_t j = 0; j < list.size(); ++j) {
        if (j > 0) out += "\n";
        out += list[j].text(indent + 2);
      }
    }
  }
  return out;
}

void print_report(const Report& report, bool json) {
  const std::string out = json ? report.json() + "\n" : report.text();
  std::fwrite(out.data(), 1, out.size(), stdout);
}
