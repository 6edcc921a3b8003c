#include "verify/strict_form.h"

#include <cstring>
#include <string_view>

#include "verify/blanks.h"

// The signer's layout, compared in place (building the document again would
// cost more than the rest of the check): a 36-character header, two name lines
// of 28, the keyword lines, every line ending in CR LF.
namespace {

constexpr std::string_view kBreak = "\r\n";
constexpr std::string_view kBegin = "BEGIN\r\n";
constexpr std::string_view kMiddle = "\r\nEND\r\nBEGIN SIGNATURE\r\n";
constexpr std::string_view kEnd = "\r\nEND SIGNATURE";
constexpr size_t kFieldDigits = 8;
constexpr size_t kNameWidth = 20;
constexpr size_t kHeaderLength = 36;
constexpr size_t kNameLineLength = kNameWidth + kFieldDigits;
constexpr size_t kNameLinesStart = kHeaderLength + 2;
constexpr size_t kDataStart = kNameLinesStart + 2 * (kNameLineLength + 2) + kBegin.size();

// Eight zero-padded decimal digits, as the writer's "%08u".
void put_digits(char* out, size_t value) {
  for (size_t i = kFieldDigits; i > 0; --i) {
    out[i - 1] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
}

// Name line: the name padded with spaces to 20 characters, the serial, CR LF.
void put_name_line(char* out, const char* name, uint32_t serial) {
  const size_t length = strnlen(name, kNameWidth);
  std::memcpy(out, name, length);
  std::memset(out + length, ' ', kNameWidth - length);
  put_digits(out + kNameWidth, serial);
  std::memcpy(out + kNameLineLength, kBreak.data(), kBreak.size());
}

// True when the armored block is what the signer's encoder writes for the
// decoded bytes: lines of 64 characters, CR LF after each and after a shorter
// last one, then the check line. The check line's four characters are the
// only ones that decode to the CRC the decoder just accepted, so only their
// place is checked. The groups are encoded inline: this runs for every
// strict check.
bool armor_is_signers(const uint8_t* data, size_t size, std::string_view text) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  constexpr size_t kLineLength = 64;
  if (text.size() < size / 3 * 4 + 5) return false;
  size_t at = 0;
  size_t line = 0;
  for (size_t done = 0; done < size; done += 3) {
    const size_t count = size - done < 3 ? size - done : 3;
    const uint32_t bits = static_cast<uint32_t>(data[done]) << 16 | (count > 1 ? data[done + 1] << 8 : 0) |
                          (count > 2 ? data[done + 2] : 0);
    const char group[4] = {kAlphabet[bits >> 18], kAlphabet[bits >> 12 & 63],
                           count > 1 ? kAlphabet[bits >> 6 & 63] : '=', count > 2 ? kAlphabet[bits & 63] : '='};
    if (text.size() < at + 4 || std::memcmp(text.data() + at, group, 4) != 0) return false;
    at += 4;
    line += 4;
    if (line == kLineLength || done + 3 >= size) {
      if (text.substr(at, 2) != kBreak) return false;
      at += 2;
      line = 0;
    }
  }
  return text.size() == at + 5 && text[at] == '=';
}

bool matches(std::string_view input, size_t at, std::string_view expected) {
  return input.size() >= at + expected.size() && input.substr(at, expected.size()) == expected;
}

}  // namespace

velix_status check_strict_form(const char* input, size_t length, const DocumentRecord& doc,
                               const ParsedSignature& signature) {
  if (doc.version != 1) return VELIX_E_VERSION;
  if (doc.plain_length != doc.data_length) return VELIX_E_PLAIN_LENGTH;

  const size_t armor_length = static_cast<size_t>(doc.signature_length);
  if (!armor_is_signers(signature.packets, signature.packets_length, std::string_view(doc.signature, armor_length)))
    return VELIX_E_ARMOR_LAYOUT;

  const std::string_view in(input, length);
  const size_t data_length = static_cast<size_t>(doc.data_length);
  const size_t signature_at = kDataStart + data_length + kMiddle.size();
  const size_t end = signature_at + armor_length + kEnd.size();

  // Header after the total field: version, type, the three lengths.
  char header[kHeaderLength + 2];
  std::memcpy(header + kFieldDigits, "01", 2);
  std::memcpy(header + kFieldDigits + 2, doc.type, 2);
  put_digits(header + 12, data_length);
  put_digits(header + 20, data_length);
  put_digits(header + 28, armor_length);
  std::memcpy(header + kHeaderLength, kBreak.data(), kBreak.size());
  if (!matches(in, kFieldDigits, std::string_view(header + kFieldDigits, sizeof header - kFieldDigits)))
    return VELIX_E_LAYOUT;

  // Name line 1 from the document's own name and serial; line 2 empty.
  char names[2 * (kNameLineLength + 2)];
  put_name_line(names, doc.name1, doc.serial1);
  put_name_line(names + kNameLineLength + 2, "", 0);
  if (!matches(in, kNameLinesStart, std::string_view(names, sizeof names))) return VELIX_E_NAME_LINES;

  // Keyword lines around the blocks, the blocks where the reader found them.
  if (!matches(in, kDataStart - kBegin.size(), kBegin) || doc.data != input + kDataStart ||
      !matches(in, kDataStart + data_length, kMiddle) || doc.signature != input + signature_at ||
      !matches(in, end - kEnd.size(), kEnd))
    return VELIX_E_LAYOUT;

  // A total the 8 digits cannot hold is one the writer never writes.
  if (end - kFieldDigits > kDocumentFieldMax) return VELIX_E_TOTAL_FIELD;
  put_digits(header, end - kFieldDigits);
  if (in.substr(0, kFieldDigits) != std::string_view(header, kFieldDigits)) return VELIX_E_TOTAL_FIELD;
  return only_blanks(input + end, length - end) ? VELIX_OK : VELIX_E_TRAILING_DATA;
}
