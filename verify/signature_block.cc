#include "verify/signature_block.h"

#include <cstring>

#include "core/armor.h"
#include "core/memstream.h"
#include "core/packets.h"

namespace {

constexpr uint8_t kVersion = 3;
constexpr uint8_t kDataSignatureClass = 0x01;
constexpr uint8_t kAlgorithmRsa = 1;
constexpr uint8_t kDigestMd5 = 1;

// A local code for "known framing, unknown content" inside the codec call.
constexpr int kUnknownAlgorithm = -1000;

// The body of a signature packet; aborts with CORE_E_NODATA when it ends early.
void read_signature_body(MemStream& body, ParsedSignature* out) {
  if (body.read_byte() != kVersion) codec_abort(kUnknownAlgorithm);
  if (body.read_byte() != sizeof out->extras) codec_abort(kUnknownAlgorithm);
  body.read(out->extras, sizeof out->extras);
  if (out->extras[0] != kDataSignatureClass) codec_abort(kUnknownAlgorithm);
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
  if (out->value[0] == 0) codec_abort(CORE_E_PACKET);  // the bit count overstates the number
  out->value_length = bytes;
}

}  // namespace

velix_status parse_signature_block(const char* block, size_t length, ParsedSignature* out) {
  if (length > kMaxSignatureBlock) return VELIX_E_TOO_LARGE;
  std::memset(out, 0, sizeof *out);
  // Decoding yields at most 3 bytes for every 4 characters.
  uint8_t packets[kMaxSignatureBlock / 4 * 3 + 3];
  const int decoded = armor_decode(block, static_cast<int>(length), packets, static_cast<int>(sizeof packets));
  if (decoded <= 0) return VELIX_E_ARMOR;

  const int result = codec_call([&] {
    MemStream in = MemStream::for_reading(packets, static_cast<size_t>(decoded));
    const PacketHeader first = read_packet_header(in);
    if (first.type != PACKET_SIGNATURE) codec_abort(CORE_E_PACKET);
    MemStream body = MemStream::for_reading(in.current(), first.length);
    read_signature_body(body, out);
    if (body.remaining() != 0) codec_abort(CORE_E_PACKET);
    in.seek(static_cast<ptrdiff_t>(first.length), MemStream::kFromPosition);
    // What follows (the trust packet) must at least be framed soundly.
    while (in.remaining() > 0) {
      const PacketHeader next = read_packet_header(in);
      if (next.type == PACKET_SIGNATURE) codec_abort(CORE_E_PACKET);
      in.seek(static_cast<ptrdiff_t>(next.length), MemStream::kFromPosition);
    }
    return 0;
  });
  if (result == 0) return VELIX_OK;
  if (result == kUnknownAlgorithm) return VELIX_E_ALGORITHM;
  if (result == CORE_E_NOMEM) return VELIX_E_NOMEM;
  return VELIX_E_PACKET;
}
