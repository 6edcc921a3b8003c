// Code page conversions through iconv, with the replacement rules of Windows.
#include "platform/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <type_traits>
#include <map>
#include <utility>

#include "platform/posix/locale_env.h"

namespace platform {

unsigned locale_ansi_code_page() {
  const std::string language = posix::locale_language({"LC_ALL", "LC_CTYPE", "LANG"});
  for (const char* western : {"da", "de", "es", "fi", "fr", "is", "it", "nl", "no", "nb", "nn", "pt", "sv",
                              "ca", "eu", "gl", "af", "id", "ms", "sw"})
    if (language == western) return kCodePageWestern;
  // Everything else, C and POSIX included: the product's texts are Russian and English.
  return kCodePageCyrillic;
}

namespace {

const char* kUtf16Name = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

const char* iconv_name(unsigned code_page) {
  switch (code_page) {
    case kCodePageUtf8: return "UTF-8";
    case kCodePageCyrillic: return "CP1251";
    default: return "CP1252";
  }
}

// One converter per direction and thread, opened on first use.
class Converters {
 public:
  ~Converters() {
    for (auto& entry : open_) iconv_close(entry.second);
  }
  iconv_t get(const char* to, const char* from) {
    const auto key = std::make_pair(std::string(to), std::string(from));
    auto it = open_.find(key);
    if (it == open_.end()) it = open_.emplace(key, iconv_open(to, from)).first;
    iconv(it->second, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    return it->second;
  }

 private:
  std::map<std::pair<std::string, std::string>, iconv_t> open_;
};

thread_local Converters t_converters;

// Runs cd over in; on_invalid(in, left, out) handles a sequence iconv refuses
// and returns how many input bytes it consumed.
template <typename OnInvalid>
std::string run_iconv(iconv_t cd, std::string_view in, OnInvalid on_invalid) {
  std::string out;
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  char chunk[1024];
  while (left > 0) {
    char* dst = chunk;
    size_t room = sizeof chunk;
    const size_t rc = iconv(cd, &src, &left, &dst, &room);
    out.append(chunk, static_cast<size_t>(dst - chunk));
    if (rc != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    const size_t used = on_invalid(std::string_view(src, left), out);  // EILSEQ or EINVAL
    src += used;
    left -= used;
  }
  return out;
}

// Every code page here (1251, 1252, UTF-8) keeps ASCII as it is: plain ASCII
// texts, the usual case, are copied without a trip through iconv.
template <typename From, typename To>
bool copy_if_ascii(const From* in, size_t length, To* out) {
  for (size_t i = 0; i < length; ++i)
    if (static_cast<uint32_t>(static_cast<std::make_unsigned_t<From>>(in[i])) >= 0x80) return false;
  // Sized first and filled in place: assign() from another character type
  // builds a temporary string, a second whole copy of a long text.
  out->resize(length);
  std::copy_n(in, length, out->begin());
  return true;
}

std::optional<std::string> from_utf16(std::u16string_view text, unsigned code_page, size_t max_bytes,
                                      bool exact) {
  // Every character takes a byte or more (a surrogate pair two units): a
  // text this long cannot fit, and a page's megabytes are not converted to
  // learn it.
  if (max_bytes != kNoLimit && text.size() / 2 > max_bytes) return std::nullopt;
  if (std::string ascii; copy_if_ascii(text.data(), text.size(), &ascii)) {
    if (ascii.size() > max_bytes) return std::nullopt;
    return ascii;
  }
  iconv_t cd = t_converters.get(iconv_name(code_page), kUtf16Name);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  const bool utf8 = code_page == kCodePageUtf8;
  const std::string_view replacement = utf8 ? "\xEF\xBF\xBD" : "?";
  bool lost = false;
  const std::string_view in(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  std::string out = run_iconv(cd, in, [&](std::string_view rest, std::string& done) -> size_t {
    char16_t unit = 0;
    if (rest.size() >= 2) std::copy_n(rest.data(), 2, reinterpret_cast<char*>(&unit));
    // A byte a single-byte page leaves undefined comes back as the code point of
    // the same number (see code_page_to_utf16); it goes back to that byte.
    if (!utf8 && unit >= 0x80 && unit < 0xA0) {
      const std::string byte(1, static_cast<char>(unit));
      if (code_page_to_utf16(byte, code_page) == std::u16string(1, unit)) {
        done += byte;
        return 2;
      }
    }
    lost = true;
    done += replacement;
    if (rest.size() < 2) return rest.size();
    // An unmappable character outside the basic plane is a surrogate pair: skip both halves.
    if (unit >= 0xD800 && unit < 0xDC00 && rest.size() >= 4) {
      char16_t low;
      std::copy_n(rest.data() + 2, 2, reinterpret_cast<char*>(&low));
      if (low >= 0xDC00 && low < 0xE000) return 4;
    }
    return 2;
  });
  if ((exact && lost) || out.size() > max_bytes) return std::nullopt;
  return out;
}

}  // namespace

std::optional<std::string> utf16_to_code_page(std::u16string_view text, unsigned code_page,
                                              size_t max_bytes) {
  return from_utf16(text, code_page, max_bytes, false);
}

std::optional<std::string> utf16_to_code_page_exact(std::u16string_view text, unsigned code_page,
                                                    size_t max_bytes) {
  return from_utf16(text, code_page, max_bytes, true);
}

std::u16string code_page_to_utf16(std::string_view bytes, unsigned code_page) {
  if (std::u16string ascii; copy_if_ascii(bytes.data(), bytes.size(), &ascii)) return ascii;
  iconv_t cd = t_converters.get(kUtf16Name, iconv_name(code_page));
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  const bool utf8 = code_page == kCodePageUtf8;
  const std::string out = run_iconv(cd, bytes, [&](std::string_view rest, std::string& done) -> size_t {
    // Windows keeps an undefined byte of a single-byte page as the code point of the same number.
    const char16_t unit = utf8 ? u'\uFFFD' : static_cast<unsigned char>(rest[0]);
    done.append(reinterpret_cast<const char*>(&unit), 2);
    return 1;
  });
  std::u16string result(out.size() / 2, u'\0');
  std::copy_n(out.data(), result.size() * 2, reinterpret_cast<char*>(result.data()));
  return result;
}

std::optional<std::string> convert_code_page(std::string_view bytes, unsigned from, unsigned to,
                                             size_t max_bytes) {
  return utf16_to_code_page(code_page_to_utf16(bytes, from), to, max_bytes);
}

}  // namespace platform
