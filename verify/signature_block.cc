#include "verify/signature_block.h"

#include <cstring>

#include "core/armor.h"
#include "core/memstream.h"
#include "core/packets.h"

namespace {

constexpr uint8_t kVersion = 3;
constexpr uint8_t kAlgorithmRsa = 1;
// The signer's framing: a signature packet with a 2-byte length, then the
// trust packet with its one body byte.
constexpr uint8_t kSignatureHeader = 0x80 | PACKET_SIGNATURE << 2 | 1;
constexpr uint8_t kTrustPacket[] = {0x80 | PACKET_TRUST << 2, 1, kSignatureTrust};
constexpr uint8_t kDigestMd5 = 1;

// A local code for "known framing, unknown content" inside the codec call.
constexpr int kUnknownAlgorithm = -1000;

// The body of a signature packet; aborts with CORE_E_NODATA when it ends early.
void read_signature_body(MemStream& body, uint8_t signature_class, ParsedSignature* out) {
  if (body.read_byte() != kVersion) codec_abort(kUnknownAlgorithm);
  if (body.read_byte() != sizeof out->extras) codec_abort(kUnknownAlgorithm);
  body.read(out->extras, sizeof out->extras);
  if (out->extras[0] != signature_class) codec_abort(kUnknownAlgorithm);
  out->serial = static_cast<uint32_t>(out->extras[1]) << 24 | out->extras[2] << 16 | out->extras[3] << 8 |
                out->extras[4];
  out->time = static_cast<uint32_t>(out->extras[5]) << 24 | out->extras[6] << 16 | out->extras[7] << 8 |
              out->extras[8];
  if (body.read_byte() != kAlgorithmRsa) codec_abort(kUnknownAlgorithm);
  if (body.read_byte() != kDigestMd5) codec_abort(kUnknownAlgorithm);
  body.read(out->check, sizeof out->check);
  const unsigned bits = body.read_be(2);
  const size_t bytes = (bits + 7) / 8;
  if (bits == 0 || bytes > sizeof out->value) codec_abort(CORE_E_PACKET);
  body.read(out->value, bytes);
  // The bit count must be exactly the number's: one value, one encoding.
  if (number_bits(out->value, bytes) != bits) codec_abort(CORE_E_PACKET);
  out->value_length = bytes;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0'; }

// True when no line after the check line holds anything but blanks: the
// decoder stops reading there, so anything else would pass unseen.
bool nothing_after_check_line(const char* text, size_t length) {
  bool line_start = true;
  bool check_seen = false;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == '\n') {
      line_start = true;
      continue;
    }
    if (is_blank(text[i])) continue;
    if (check_seen && line_start) return false;
    if (line_start && text[i] == '=') check_seen = true;
    line_start = false;
  }
  return true;
}

}  // namespace

velix_status parse_signature_block(const char* block, size_t length, uint8_t signature_class, ParsedSignature* out) {
  if (length > kMaxSignatureBlock) return VELIX_E_TOO_LARGE;
  std::memset(out, 0, sizeof *out);
  const int decoded =
      armor_decode(block, static_cast<int>(length), out->packets, static_cast<int>(sizeof out->packets));
  if (decoded <= 0) return VELIX_E_ARMOR;
  if (!nothing_after_check_line(block, length)) return VELIX_E_ARMOR_TRAILING;
  out->packets_length = static_cast<size_t>(decoded);

  const int result = codec_call([&] {
    MemStream in = MemStream::for_reading(out->packets, out->packets_length);
    if (in.remaining() == 0 || *in.current() != kSignatureHeader) codec_abort(CORE_E_PACKET);
    const PacketHeader first = read_packet_header(in);
    MemStream body = MemStream::for_reading(in.current(), first.length);
    read_signature_body(body, signature_class, out);
    if (body.remaining() != 0) codec_abort(CORE_E_PACKET);
    in.seek(static_cast<ptrdiff_t>(first.length), MemStream::kFromPosition);
    return 0;
  });
  if (result == kUnknownAlgorithm) return VELIX_E_ALGORITHM;
  if (result == CORE_E_NOMEM) return VELIX_E_NOMEM;
  if (result != 0) return VELIX_E_PACKET;
  // Exactly the trust packet follows, and nothing after it (the header read
  // above makes the packets at least 3 bytes long).
  const size_t trust_at = out->packets_length - sizeof kTrustPacket;
  const size_t signature_packet = 3 + (static_cast<size_t>(out->packets[1]) << 8 | out->packets[2]);
  if (signature_packet != trust_at || std::memcmp(out->packets + trust_at, kTrustPacket, sizeof kTrustPacket) != 0)
    return VELIX_E_EXTRA_PACKETS;
  return VELIX_OK;
}
