#include "signer/resource_format.h"


#include "platform/codepage.h"
#include "ui/load_string.h"

namespace {

// One "%[flags][width][.precision]s" conversion, applied to arg.
std::u16string FormatArgument(std::u16string_view arg, bool left, size_t width, std::optional<size_t> precision) {
  std::u16string field(arg.substr(0, precision.value_or(arg.size())));
  if (field.size() < width) field.insert(left ? field.size() : 0, width - field.size(), u' ');
  return field;
}

size_t ReadNumber(std::u16string_view format, size_t* at) {
  size_t value = 0;
  while (*at < format.size() && format[*at] >= u'0' && format[*at] <= u'9') value = value * 10 + (format[(*at)++] - u'0');
  return value;
}

}  // namespace

std::optional<std::string> FormatResStringIn(int id, unsigned code_page,
                                             std::initializer_list<std::u16string_view> args) {
  const std::u16string format = platform::utf8_to_utf16(ui::LoadResString(id));
  const std::u16string_view* next = args.begin();
  std::u16string out;
  for (size_t i = 0; i < format.size();) {
    if (format[i] != u'%') {
      out += format[i++];
      continue;
    }
    size_t at = i + 1;
    bool left = false;
    while (at < format.size() && std::u16string_view(u"-+ #0").find(format[at]) != std::u16string_view::npos)
      left = left || format[at++] == u'-';
    const size_t width = ReadNumber(format, &at);
    std::optional<size_t> precision;
    if (at < format.size() && format[at] == u'.') {
      ++at;
      precision = ReadNumber(format, &at);
    }
    if (at < format.size() && format[at] == u's' && next != args.end()) {
      out += FormatArgument(*next++, left, width, precision);
      i = at + 1;
    } else if (at == i + 1 && at < format.size() && format[at] == u'%') {
      out += u'%';
      i = at + 1;
    } else {
      out += format[i++];  // not a conversion these templates use: kept as written
    }
  }
  if (code_page == platform::kCodePageUtf8) return platform::utf16_to_utf8(out);
  return platform::utf16_to_code_page_exact(out, code_page);
}
